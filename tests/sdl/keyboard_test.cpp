// The keyboard of the player's edge: SDL's physical keys onto the PC scan
// codes the game reads, and the key state built from SDL's.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <utility>

#include "../support/sdl_events.h"

namespace {

uint8_t code(SDL_Scancode s) { return pc_scan_codes[static_cast<size_t>(s)]; }

TEST(ScanCodeTable, GameKeysReadTheirCodes)
{
    EXPECT_EQ(code(SDL_SCANCODE_ESCAPE), 1);
    EXPECT_EQ(code(SDL_SCANCODE_RETURN), 28);
    EXPECT_EQ(code(SDL_SCANCODE_SPACE), 57);
    EXPECT_EQ(code(SDL_SCANCODE_UP), 200);
    EXPECT_EQ(code(SDL_SCANCODE_LEFT), 203);
    EXPECT_EQ(code(SDL_SCANCODE_RIGHT), 205);
    EXPECT_EQ(code(SDL_SCANCODE_DOWN), 208);
    // A key SDL cannot name must not press anything.
    EXPECT_EQ(code(SDL_SCANCODE_UNKNOWN), 0);
}

// Every key of a full-size keyboard, US or international, reads at a code of
// its own: the key state means what it says for all keys, not just the
// game's seven.
TEST(ScanCodeTable, EveryKeyOfAFullKeyboardHasACodeOfItsOwn)
{
    std::vector<int> keys;
    for (int s = SDL_SCANCODE_A; s <= SDL_SCANCODE_APPLICATION; ++s) keys.push_back(s);
    for (int s = SDL_SCANCODE_LCTRL; s <= SDL_SCANCODE_RGUI; ++s) keys.push_back(s);
    for (int s = SDL_SCANCODE_INTERNATIONAL1; s <= SDL_SCANCODE_INTERNATIONAL5; ++s) keys.push_back(s);
    for (int s : keys) EXPECT_NE(code(SDL_Scancode(s)), 0) << SDL_GetScancodeName(SDL_Scancode(s));
    // SDL has two names for these single keys.
    const std::set<std::pair<int, int>> same_key = {{SDL_SCANCODE_BACKSLASH, SDL_SCANCODE_NONUSHASH},
                                                    {SDL_SCANCODE_MUTE, SDL_SCANCODE_AUDIOMUTE}};
    std::map<int, int> owner;
    for (int s = 0; s < SDL_NUM_SCANCODES; ++s) {
        const int c = code(SDL_Scancode(s));
        if (c == 0) continue;
        const auto [it, fresh] = owner.emplace(c, s);
        EXPECT_TRUE(fresh || same_key.count({it->second, s}))
            << SDL_GetScancodeName(SDL_Scancode(it->second)) << " and " << SDL_GetScancodeName(SDL_Scancode(s))
            << " both read code " << c;
    }
}

struct SdlKeys {
    std::array<uint8_t, SDL_NUM_SCANCODES> held{};
    void press(SDL_Scancode s) { held[static_cast<size_t>(s)] = 1; }
    void release(SDL_Scancode s) { held[static_cast<size_t>(s)] = 0; }
};

TEST(KeyState, HeldKeysReadDownAtTheirCodesOnly)
{
    SdlKeys sdl;
    sdl.press(SDL_SCANCODE_UP);
    sdl.press(SDL_SCANCODE_SPACE);
    sdl.press(SDL_SCANCODE_F16);  // no PC position: ignored
    std::array<uint8_t, 256> keys;
    keys.fill(0x55);  // every byte is rewritten
    bool hide_return = false;
    key_state_from_sdl(sdl.held.data(), SDL_NUM_SCANCODES, &hide_return, keys.data());
    EXPECT_EQ(down_codes(keys.data()), (std::vector<int>{57, 200}));
    EXPECT_EQ(keys[57], PC_KEY_DOWN);
    EXPECT_EQ(keys[200], PC_KEY_DOWN);

    // SDL hands over the length of its array; nothing past it is read.
    std::vector<uint8_t> short_state(SDL_SCANCODE_RETURN + 1, 0);
    short_state[SDL_SCANCODE_RETURN] = 1;
    key_state_from_sdl(short_state.data(), int(short_state.size()), &hide_return, keys.data());
    EXPECT_EQ(down_codes(keys.data()), (std::vector<int>{28}));
}

// Alt+Enter toggles the window; its RETURN must not reach the intro, the
// level-clear screen or the game-over screen.
TEST(KeyState, AltEnterNeverReadsAsReturn)
{
    SdlKeys sdl;
    std::array<uint8_t, 256> keys{};
    bool hide_return = false;
    auto read = [&] {
        key_state_from_sdl(sdl.held.data(), SDL_NUM_SCANCODES, &hide_return, keys.data());
        return keys[28] != 0;
    };

    sdl.press(SDL_SCANCODE_RETURN);
    EXPECT_TRUE(read()) << "plain RETURN";
    sdl.release(SDL_SCANCODE_RETURN);

    for (SDL_Scancode alt : {SDL_SCANCODE_LALT, SDL_SCANCODE_RALT}) {
        sdl.press(alt);
        sdl.press(SDL_SCANCODE_RETURN);
        EXPECT_FALSE(read()) << "RETURN with Alt held";
        EXPECT_NE(keys[code(alt)], 0) << "Alt itself still reads";
        sdl.release(alt);
        sdl.release(SDL_SCANCODE_RETURN);
        EXPECT_FALSE(read());
    }

    // The toggle happened; Alt is let go before RETURN.
    sdl.press(SDL_SCANCODE_RETURN);
    hide_return = true;
    EXPECT_FALSE(read()) << "RETURN still held from the chord";
    EXPECT_FALSE(read());
    sdl.release(SDL_SCANCODE_RETURN);
    EXPECT_FALSE(read());
    EXPECT_FALSE(hide_return);
    sdl.press(SDL_SCANCODE_RETURN);
    EXPECT_TRUE(read()) << "a fresh press counts again";
}

}  // namespace
