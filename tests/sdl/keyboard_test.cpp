// The keyboard of the player's edge: SDL's physical keys onto the PC scan
// codes the game reads, and the key state built from SDL's.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl_edge.h"

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

// The PC codes run along the rows of the keyboard.
TEST(ScanCodeTable, RowsRunInKeyboardOrder)
{
    const std::vector<std::pair<std::vector<SDL_Scancode>, int>> rows = {
        {{SDL_SCANCODE_ESCAPE, SDL_SCANCODE_1, SDL_SCANCODE_2, SDL_SCANCODE_3, SDL_SCANCODE_4, SDL_SCANCODE_5,
          SDL_SCANCODE_6, SDL_SCANCODE_7, SDL_SCANCODE_8, SDL_SCANCODE_9, SDL_SCANCODE_0, SDL_SCANCODE_MINUS,
          SDL_SCANCODE_EQUALS, SDL_SCANCODE_BACKSPACE, SDL_SCANCODE_TAB, SDL_SCANCODE_Q, SDL_SCANCODE_W,
          SDL_SCANCODE_E, SDL_SCANCODE_R, SDL_SCANCODE_T, SDL_SCANCODE_Y, SDL_SCANCODE_U, SDL_SCANCODE_I,
          SDL_SCANCODE_O, SDL_SCANCODE_P, SDL_SCANCODE_LEFTBRACKET, SDL_SCANCODE_RIGHTBRACKET, SDL_SCANCODE_RETURN,
          SDL_SCANCODE_LCTRL, SDL_SCANCODE_A, SDL_SCANCODE_S, SDL_SCANCODE_D, SDL_SCANCODE_F, SDL_SCANCODE_G,
          SDL_SCANCODE_H, SDL_SCANCODE_J, SDL_SCANCODE_K, SDL_SCANCODE_L, SDL_SCANCODE_SEMICOLON,
          SDL_SCANCODE_APOSTROPHE, SDL_SCANCODE_GRAVE, SDL_SCANCODE_LSHIFT, SDL_SCANCODE_BACKSLASH, SDL_SCANCODE_Z,
          SDL_SCANCODE_X, SDL_SCANCODE_C, SDL_SCANCODE_V, SDL_SCANCODE_B, SDL_SCANCODE_N, SDL_SCANCODE_M,
          SDL_SCANCODE_COMMA, SDL_SCANCODE_PERIOD, SDL_SCANCODE_SLASH, SDL_SCANCODE_RSHIFT,
          SDL_SCANCODE_KP_MULTIPLY, SDL_SCANCODE_LALT, SDL_SCANCODE_SPACE, SDL_SCANCODE_CAPSLOCK},
         0x01},
        {{SDL_SCANCODE_F1, SDL_SCANCODE_F2, SDL_SCANCODE_F3, SDL_SCANCODE_F4, SDL_SCANCODE_F5, SDL_SCANCODE_F6,
          SDL_SCANCODE_F7, SDL_SCANCODE_F8, SDL_SCANCODE_F9, SDL_SCANCODE_F10, SDL_SCANCODE_NUMLOCKCLEAR,
          SDL_SCANCODE_SCROLLLOCK, SDL_SCANCODE_KP_7, SDL_SCANCODE_KP_8, SDL_SCANCODE_KP_9, SDL_SCANCODE_KP_MINUS,
          SDL_SCANCODE_KP_4, SDL_SCANCODE_KP_5, SDL_SCANCODE_KP_6, SDL_SCANCODE_KP_PLUS, SDL_SCANCODE_KP_1,
          SDL_SCANCODE_KP_2, SDL_SCANCODE_KP_3, SDL_SCANCODE_KP_0, SDL_SCANCODE_KP_PERIOD},
         0x3B},
        {{SDL_SCANCODE_F11, SDL_SCANCODE_F12}, 0x57},
        {{SDL_SCANCODE_F13, SDL_SCANCODE_F14, SDL_SCANCODE_F15}, 0x64},
    };
    for (const auto& [keys, first] : rows) {
        for (size_t i = 0; i < keys.size(); ++i) {
            EXPECT_EQ(code(keys[i]), first + static_cast<int>(i)) << SDL_GetScancodeName(keys[i]);
        }
    }
    EXPECT_EQ(code(SDL_SCANCODE_NONUSBACKSLASH), 0x56);
}

// The grey keys a PC keyboard added later send their older twin's code after
// an E0 prefix; the game's numbering adds 0x80 for that prefix.
TEST(ScanCodeTable, ExtendedKeysAreTheirTwinPlus0x80)
{
    const std::vector<std::pair<SDL_Scancode, SDL_Scancode>> twins = {
        {SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_RETURN}, {SDL_SCANCODE_RCTRL, SDL_SCANCODE_LCTRL},
        {SDL_SCANCODE_RALT, SDL_SCANCODE_LALT},       {SDL_SCANCODE_KP_DIVIDE, SDL_SCANCODE_SLASH},
        {SDL_SCANCODE_HOME, SDL_SCANCODE_KP_7},       {SDL_SCANCODE_UP, SDL_SCANCODE_KP_8},
        {SDL_SCANCODE_PAGEUP, SDL_SCANCODE_KP_9},     {SDL_SCANCODE_LEFT, SDL_SCANCODE_KP_4},
        {SDL_SCANCODE_RIGHT, SDL_SCANCODE_KP_6},      {SDL_SCANCODE_END, SDL_SCANCODE_KP_1},
        {SDL_SCANCODE_DOWN, SDL_SCANCODE_KP_2},       {SDL_SCANCODE_PAGEDOWN, SDL_SCANCODE_KP_3},
        {SDL_SCANCODE_INSERT, SDL_SCANCODE_KP_0},     {SDL_SCANCODE_DELETE, SDL_SCANCODE_KP_PERIOD},
        {SDL_SCANCODE_PRINTSCREEN, SDL_SCANCODE_KP_MULTIPLY},
    };
    for (const auto& [extended, twin] : twins) {
        EXPECT_EQ(code(extended), code(twin) + 0x80) << SDL_GetScancodeName(extended);
    }
    // The keys with no older twin, still behind the prefix.
    for (SDL_Scancode s : {SDL_SCANCODE_LGUI, SDL_SCANCODE_RGUI, SDL_SCANCODE_APPLICATION, SDL_SCANCODE_PAUSE,
                           SDL_SCANCODE_MUTE, SDL_SCANCODE_VOLUMEUP, SDL_SCANCODE_VOLUMEDOWN}) {
        EXPECT_GE(code(s), 0x80) << SDL_GetScancodeName(s);
    }
    EXPECT_EQ(code(SDL_SCANCODE_LGUI), 219);
    EXPECT_EQ(code(SDL_SCANCODE_RGUI), 220);
    EXPECT_EQ(code(SDL_SCANCODE_APPLICATION), 221);
}

// Every key of a full-size keyboard, US or international, reads somewhere: the
// key state means what it says for all keys, not just the game's seven.
TEST(ScanCodeTable, EveryKeyOfAFullKeyboardHasACode)
{
    std::vector<int> keys;
    for (int s = SDL_SCANCODE_A; s <= SDL_SCANCODE_APPLICATION; ++s) keys.push_back(s);
    for (int s = SDL_SCANCODE_LCTRL; s <= SDL_SCANCODE_RGUI; ++s) keys.push_back(s);
    for (int s = SDL_SCANCODE_INTERNATIONAL1; s <= SDL_SCANCODE_INTERNATIONAL5; ++s) keys.push_back(s);
    for (int s : keys) {
        EXPECT_NE(pc_scan_codes[static_cast<size_t>(s)], 0) << SDL_GetScancodeName(static_cast<SDL_Scancode>(s));
    }
}

TEST(ScanCodeTable, NoTwoKeysShareACode)
{
    static_assert(std::is_same_v<decltype(pc_scan_codes)::value_type, uint8_t>, "codes index 256 bytes");
    // SDL has two names for these single keys.
    const std::set<std::pair<int, int>> same_key = {
        {SDL_SCANCODE_BACKSLASH, SDL_SCANCODE_NONUSHASH},
        {SDL_SCANCODE_MUTE, SDL_SCANCODE_AUDIOMUTE},
    };
    std::map<int, int> owner;
    for (int s = 0; s < SDL_NUM_SCANCODES; ++s) {
        const int c = pc_scan_codes[static_cast<size_t>(s)];
        if (c == 0) continue;
        const auto [it, fresh] = owner.emplace(c, s);
        if (!fresh) {
            EXPECT_TRUE(same_key.count({it->second, s}))
                << SDL_GetScancodeName(static_cast<SDL_Scancode>(it->second)) << " and "
                << SDL_GetScancodeName(static_cast<SDL_Scancode>(s)) << " both read code " << c;
        }
    }
    // A full keyboard has over a hundred keys.
    EXPECT_GT(owner.size(), 110u);
}

// --- the key state ----------------------------------------------------------

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
    for (int i = 0; i < 256; ++i) {
        const bool down = i == 200 || i == 57;
        EXPECT_EQ(keys[static_cast<size_t>(i)], down ? PC_KEY_DOWN : 0) << "code " << i;
    }
}

TEST(KeyState, ReadsNoFurtherThanSdlsState)
{
    // SDL hands over the length of its array; nothing past it is read.
    std::vector<uint8_t> short_state(SDL_SCANCODE_RETURN + 1, 0);
    short_state[SDL_SCANCODE_RETURN] = 1;
    std::array<uint8_t, 256> keys{};
    bool hide_return = false;
    key_state_from_sdl(short_state.data(), static_cast<int>(short_state.size()), &hide_return, keys.data());
    EXPECT_EQ(keys[28], PC_KEY_DOWN);
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
