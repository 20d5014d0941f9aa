// One colour as the game's pictures hold it: the entries of its 256-colour
// palette, as the screen shows them and as screenshots and dumps store them.
#pragma once

#include <array>
#include <cstdint>

// The layout of SDL_Color, so that the edge can show a palette as it stands.
struct Colour {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    uint8_t a = 255;  // always opaque: the game's pictures have no transparency
};

constexpr int PALETTE_ENTRIES = 256;
using Palette = std::array<Colour, PALETTE_ENTRIES>;
