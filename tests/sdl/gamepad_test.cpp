// Game controllers on the player's edge: what each button and the stick
// press, a pad and the keyboard together, and SDL's virtual pads plugged in
// before and during the game and pulled out while it polls.
#include <gtest/gtest.h>

#include <algorithm>

#include "../support/sdl_events.h"
#include "base/report.h"
#include "input/keys.h"

namespace {

uint8_t key(SDL_Scancode s) { return pc_scan_codes[static_cast<size_t>(s)]; }

TEST(PadMapping, ButtonsPressTheKeyboardsOwnKeys)
{
    EXPECT_EQ(pad_codes[SDL_CONTROLLER_BUTTON_DPAD_UP], key(SDL_SCANCODE_UP));
    EXPECT_EQ(pad_codes[SDL_CONTROLLER_BUTTON_DPAD_DOWN], key(SDL_SCANCODE_DOWN));
    EXPECT_EQ(pad_codes[SDL_CONTROLLER_BUTTON_DPAD_LEFT], key(SDL_SCANCODE_LEFT));
    EXPECT_EQ(pad_codes[SDL_CONTROLLER_BUTTON_DPAD_RIGHT], key(SDL_SCANCODE_RIGHT));
    EXPECT_EQ(pad_codes[SDL_CONTROLLER_BUTTON_A], key(SDL_SCANCODE_SPACE));
    EXPECT_EQ(pad_codes[SDL_CONTROLLER_BUTTON_B], key(SDL_SCANCODE_DOWN));
    EXPECT_EQ(pad_codes[SDL_CONTROLLER_BUTTON_START], key(SDL_SCANCODE_RETURN));
    EXPECT_EQ(pad_codes[SDL_CONTROLLER_BUTTON_BACK], key(SDL_SCANCODE_ESCAPE));
    // The rest of the pad presses nothing.
    EXPECT_EQ(std::count(pad_codes.begin(), pad_codes.end(), 0), SDL_CONTROLLER_BUTTON_MAX - 8);
}

TEST(PadMapping, TheStickSteersOnlyPastTheDeadZoneAndAddsToTheKeyboard)
{
    struct Case {
        int16_t x, y;
        std::vector<int> down;
    };
    const auto edge = int16_t(PAD_DEAD_ZONE);
    const std::vector<Case> cases = {
        {0, 0, {}},
        {int16_t(edge - 1), int16_t(1 - edge), {}},  // resting slack
        {int16_t(-edge), 0, {DIK_LEFT}},
        {edge, 0, {DIK_RIGHT}},
        {0, int16_t(-edge), {DIK_UP}},
        {0, edge, {DIK_DOWN}},
        {-32768, -32768, {DIK_UP, DIK_LEFT}},  // full tilt, up and left at once
        {32767, 32767, {DIK_RIGHT, DIK_DOWN}},
    };
    for (const Case& c : cases) {
        PadReading pad;
        pad.left_x = c.x;
        pad.left_y = c.y;
        std::array<uint8_t, 256> keys{};
        key_state_add_pad(pad, keys.data());
        std::vector<int> want = c.down;
        std::sort(want.begin(), want.end());
        EXPECT_EQ(down_codes(keys.data()), want) << "stick at " << c.x << "," << c.y;
    }

    std::array<uint8_t, 256> keys{};
    keys[DIK_SPACE] = keys[DIK_LEFT] = PC_KEY_DOWN;  // the keyboard fires and turns
    PadReading pad;
    pad.held[SDL_CONTROLLER_BUTTON_DPAD_UP] = true;  // the pad thrusts
    pad.held[SDL_CONTROLLER_BUTTON_A] = true;        // and fires too
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
    VirtualPad first;
    VirtualPad second;
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
    first.press(SDL_CONTROLLER_BUTTON_B, true);
    first.press(SDL_CONTROLLER_BUTTON_BACK, true);
    first.press(SDL_CONTROLLER_BUTTON_Y, true);  // presses nothing
    first.lean(SDL_CONTROLLER_AXIS_LEFTX, -20000);
    EXPECT_EQ(held_now(), (std::vector<int>{DIK_ESCAPE, DIK_UP, DIK_LEFT, DIK_RIGHT, DIK_DOWN}));

    first.pull_out();
    drain_events();
    EXPECT_EQ(sdl_edge_pad_count(), 1);
    EXPECT_EQ(held_now(), (std::vector<int>{DIK_UP, DIK_RIGHT}));
    second.pull_out();
    drain_events();
    EXPECT_EQ(sdl_edge_pad_count(), 0);
    EXPECT_TRUE(held_now().empty());

    // And plugged in again.
    ASSERT_TRUE(first.plug_in());
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
