// The keyboard and the game controllers of the player's edge: SDL's physical
// keys onto the PC scan codes the game reads, the key state built from SDL's
// (Alt+Enter never RETURN), what each pad button and the stick press, and
// SDL's virtual pads plugged in before and during the game and pulled out.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "../support/sdl_events.h"
#include "base/report.h"
#include "input/keys.h"

namespace {

uint8_t code(int s) { return pc_scan_codes[size_t(s)]; }

TEST(ScanCodeTable, GameKeysReadTheirCodesAndEveryOtherKeyOneOfItsOwn)
{
    EXPECT_EQ(code(SDL_SCANCODE_ESCAPE), 1);
    EXPECT_EQ(code(SDL_SCANCODE_RETURN), 28);
    EXPECT_EQ(code(SDL_SCANCODE_SPACE), 57);
    EXPECT_EQ(code(SDL_SCANCODE_UP), 200);
    EXPECT_EQ(code(SDL_SCANCODE_LEFT), 203);
    EXPECT_EQ(code(SDL_SCANCODE_RIGHT), 205);
    EXPECT_EQ(code(SDL_SCANCODE_DOWN), 208);
    EXPECT_EQ(code(SDL_SCANCODE_UNKNOWN), 0) << "a key SDL cannot name presses nothing";
    // Every key of a full-size keyboard, US or international, reads somewhere.
    std::vector<int> keys;
    for (int s = SDL_SCANCODE_A; s <= SDL_SCANCODE_APPLICATION; ++s) keys.push_back(s);
    for (int s = SDL_SCANCODE_LCTRL; s <= SDL_SCANCODE_RGUI; ++s) keys.push_back(s);
    for (int s = SDL_SCANCODE_INTERNATIONAL1; s <= SDL_SCANCODE_INTERNATIONAL5; ++s) keys.push_back(s);
    for (int s : keys) EXPECT_NE(code(s), 0) << SDL_GetScancodeName(SDL_Scancode(s));
    // And no two keys share a code; SDL has two names for these single keys.
    const std::set<std::pair<int, int>> same_key = {{SDL_SCANCODE_BACKSLASH, SDL_SCANCODE_NONUSHASH},
                                                    {SDL_SCANCODE_MUTE, SDL_SCANCODE_AUDIOMUTE}};
    std::map<int, int> owner;
    for (int s = 0; s < SDL_NUM_SCANCODES; ++s) {
        const auto [it, fresh] = code(s) ? owner.emplace(code(s), s) : std::pair{owner.end(), true};
        EXPECT_TRUE(fresh || same_key.count({it->second, s}))
            << SDL_GetScancodeName(SDL_Scancode(it->second)) << " and " << SDL_GetScancodeName(SDL_Scancode(s));
    }
}

struct SdlKeys {
    std::array<uint8_t, SDL_NUM_SCANCODES> held{};
    bool hide_return = false;
    std::array<uint8_t, 256> keys{};
    void press(SDL_Scancode s, bool down = true) { held[size_t(s)] = down; }
    std::vector<int> read(int count = SDL_NUM_SCANCODES)
    {
        keys.fill(0x55);  // every byte is rewritten
        key_state_from_sdl(held.data(), count, &hide_return, keys.data());
        return down_codes(keys.data());
    }
};

TEST(KeyState, HeldKeysReadDownAtTheirCodesOnly)
{
    SdlKeys sdl;
    sdl.press(SDL_SCANCODE_UP);
    sdl.press(SDL_SCANCODE_SPACE);
    sdl.press(SDL_SCANCODE_F16);  // no PC position: ignored
    EXPECT_EQ(sdl.read(), (std::vector<int>{57, 200}));
    EXPECT_TRUE(sdl.keys[57] == PC_KEY_DOWN && sdl.keys[200] == PC_KEY_DOWN);
    // SDL hands over the length of its array; nothing past it is read.
    sdl.press(SDL_SCANCODE_RETURN);
    EXPECT_EQ(sdl.read(SDL_SCANCODE_RETURN + 1), (std::vector<int>{28}));
}

// Alt+Enter toggles the window; its RETURN must not reach the intro, the
// level-clear screen or the game-over screen.
TEST(KeyState, AltEnterNeverReadsAsReturn)
{
    SdlKeys sdl;
    auto returned = [&] { return sdl.read(), sdl.keys[28] != 0; };
    sdl.press(SDL_SCANCODE_RETURN);
    EXPECT_TRUE(returned()) << "plain RETURN";
    sdl.press(SDL_SCANCODE_RETURN, false);
    for (SDL_Scancode alt : {SDL_SCANCODE_LALT, SDL_SCANCODE_RALT}) {
        sdl.press(alt);
        sdl.press(SDL_SCANCODE_RETURN);
        EXPECT_FALSE(returned()) << "RETURN with Alt held";
        EXPECT_NE(sdl.keys[code(alt)], 0) << "Alt itself still reads";
        sdl.press(alt, false);
        sdl.press(SDL_SCANCODE_RETURN, false);
        EXPECT_FALSE(returned());
    }
    // The toggle happened; Alt is let go before RETURN.
    sdl.press(SDL_SCANCODE_RETURN);
    sdl.hide_return = true;
    EXPECT_FALSE(returned()) << "RETURN still held from the chord";
    EXPECT_FALSE(returned());
    sdl.press(SDL_SCANCODE_RETURN, false);
    EXPECT_FALSE(returned());
    EXPECT_FALSE(sdl.hide_return);
    sdl.press(SDL_SCANCODE_RETURN);
    EXPECT_TRUE(returned()) << "a fresh press counts again";
}

TEST(PadMapping, ButtonsPressTheKeyboardsOwnKeys)
{
    const std::map<int, int> want = {
        {SDL_CONTROLLER_BUTTON_DPAD_UP, DIK_UP},      {SDL_CONTROLLER_BUTTON_DPAD_DOWN, DIK_DOWN},
        {SDL_CONTROLLER_BUTTON_DPAD_LEFT, DIK_LEFT},  {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, DIK_RIGHT},
        {SDL_CONTROLLER_BUTTON_A, DIK_SPACE},         {SDL_CONTROLLER_BUTTON_B, DIK_DOWN},
        {SDL_CONTROLLER_BUTTON_START, DIK_RETURN},  // Back is ESC only when held (comforts_test)
    };
    for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b) {
        EXPECT_EQ(pad_codes[size_t(b)], want.count(b) ? want.at(b) : 0) << "button " << b;
    }
}

TEST(PadMapping, TheStickSteersOnlyPastTheDeadZoneAndAddsToTheKeyboard)
{
    const auto edge = int16_t(PAD_DEAD_ZONE);
    const std::pair<std::array<int16_t, 2>, std::vector<int>> cases[] = {
        {{0, 0}, {}},
        {{int16_t(edge - 1), int16_t(1 - edge)}, {}},  // resting slack
        {{int16_t(-edge), 0}, {DIK_LEFT}},
        {{edge, 0}, {DIK_RIGHT}},
        {{0, int16_t(-edge)}, {DIK_UP}},
        {{0, edge}, {DIK_DOWN}},
        {{-32768, -32768}, {DIK_UP, DIK_LEFT}},  // full tilt, up and left at once
        {{32767, 32767}, {DIK_RIGHT, DIK_DOWN}},
    };
    for (const auto& [stick, down] : cases) {
        PadReading pad;
        pad.left_x = stick[0];
        pad.left_y = stick[1];
        std::array<uint8_t, 256> keys{};
        key_state_add_pad(pad, keys.data());
        EXPECT_EQ(down_codes(keys.data()), down) << "stick at " << stick[0] << "," << stick[1];
    }
    std::array<uint8_t, 256> keys{};
    keys[DIK_SPACE] = keys[DIK_LEFT] = PC_KEY_DOWN;  // the keyboard fires and turns
    PadReading pad;
    pad.held[SDL_CONTROLLER_BUTTON_DPAD_UP] = pad.held[SDL_CONTROLLER_BUTTON_A] = true;  // the pad thrusts and fires
    key_state_add_pad(pad, keys.data());
    key_state_add_pad(PadReading{}, keys.data());  // a pad at rest lets go of nothing
    EXPECT_EQ(down_codes(keys.data()), (std::vector<int>{DIK_SPACE, DIK_UP, DIK_LEFT}));
    for (int c : down_codes(keys.data())) EXPECT_EQ(keys[size_t(c)], PC_KEY_DOWN);
}

// A pad plugged in before the game starts, a second one during it: both play,
// and pulled out with buttons held, nothing stays down.
TEST(Pads, PluggedInBeforeAndDuringTheGameAndPulledOut)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    VirtualPad first, second;
    ASSERT_TRUE(first.plug_in()) << SDL_GetError();
    report_clear();
    ASSERT_EQ(platform_keyboard_open(), 1) << report_text();
    drain_events();
    EXPECT_EQ(sdl_edge_pad_count(), 1) << "the pad plugged in at start-up";
    EXPECT_TRUE(held_now().empty());
    first.press(SDL_CONTROLLER_BUTTON_START, true);
    EXPECT_EQ(held_now(), (std::vector<int>{DIK_RETURN}));
    first.press(SDL_CONTROLLER_BUTTON_START, false);

    ASSERT_TRUE(second.plug_in()) << SDL_GetError();
    drain_events();
    ASSERT_EQ(sdl_edge_pad_count(), 2);
    first.press(SDL_CONTROLLER_BUTTON_A, true);
    second.press(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    second.lean(SDL_CONTROLLER_AXIS_LEFTY, -30000);
    EXPECT_EQ(held_now(), (std::vector<int>{DIK_SPACE, DIK_UP, DIK_RIGHT}));
    first.press(SDL_CONTROLLER_BUTTON_A, false);
    for (auto b : {SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_BACK, SDL_CONTROLLER_BUTTON_Y}) first.press(b, true);
    first.lean(SDL_CONTROLLER_AXIS_LEFTX, -20000);
    EXPECT_EQ(held_now(), (std::vector<int>{DIK_UP, DIK_LEFT, DIK_RIGHT, DIK_DOWN}));

    first.pull_out();
    drain_events();
    EXPECT_EQ(sdl_edge_pad_count(), 1);
    EXPECT_EQ(held_now(), (std::vector<int>{DIK_UP, DIK_RIGHT}));
    second.pull_out();
    drain_events();
    EXPECT_EQ(sdl_edge_pad_count(), 0);
    EXPECT_TRUE(held_now().empty());
    ASSERT_TRUE(first.plug_in());  // and plugged in again
    drain_events();
    ASSERT_EQ(sdl_edge_pad_count(), 1);
    first.press(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    EXPECT_EQ(held_now(), (std::vector<int>{DIK_LEFT}));
    first.pull_out();
    platform_keyboard_close();
    EXPECT_EQ(sdl_edge_pad_count(), 0);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

}  // namespace
