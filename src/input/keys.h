// The keyboard's key codes: PC scan codes (set 1, with 0x80 added for the
// E0-prefixed keys), the numbering of the game's 256-byte key state. These
// are the keys the game reads.
#pragma once

#include <array>
#include <cstdint>

constexpr int DIK_ESCAPE = 1;
constexpr int DIK_RETURN = 28;
constexpr int DIK_SPACE = 57;
constexpr int DIK_UP = 200;
constexpr int DIK_LEFT = 203;
constexpr int DIK_RIGHT = 205;
constexpr int DIK_DOWN = 208;

// Nonzero while the key of that code is held.
using KeyState = std::array<uint8_t, 256>;
constexpr uint8_t KEY_HELD = 0x80;  // the byte a held key reads as
