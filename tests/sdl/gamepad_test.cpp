// Game controllers on the player's edge: what each button and the stick
// press, a pad and the keyboard together, and SDL's virtual pads plugged in
// and pulled out while the game polls.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "game/rules.h"
#include "input/keyboard.h"
#include "platform/platform.h"
#include "platform/sdl_edge.h"
#include "base/report.h"

namespace {

uint8_t key(SDL_Scancode s) { return pc_scan_codes[static_cast<size_t>(s)]; }

std::vector<int> down_codes(const std::array<uint8_t, 256>& keys)
{
    std::vector<int> down;
    for (int i = 0; i < 256; ++i) {
        if (keys[static_cast<size_t>(i)]) down.push_back(i);
    }
    return down;
}

// --- the mapping ------------------------------------------------------------

TEST(PadMapping, ButtonsPressTheKeyboardsOwnKeys)
{
    EXPECT_EQ(pad_codes[SDL_CONTROLLER_BUTTON_DPAD_UP], key(SDL_SCANCODE_UP));
    EXPECT_EQ(pad_codes[SDL_CONTROLLER_BUTTON_DPAD_DOWN], key(SDL_SCANCODE_DOWN));
    EXPECT_EQ(pad_codes[SDL_CONTROLLER_BUTTON_DPAD_LEFT], key(SDL_SCANCODE_LEFT));
    EXPECT_EQ(pad_codes[SDL_CONTROLLER_BUTTON_DPAD_RIGHT], key(SDL_SCANCODE_RIGHT));
    EXPECT_EQ(pad_codes[SDL_CONTROLLER_BUTTON_A], key(SDL_SCANCODE_SPACE));
    EXPECT_EQ(pad_codes[SDL_CONTROLLER_BUTTON_B], key(SDL_SCANCODE_DOWN));
    EXPECT_EQ(pad_codes[SDL_CONTROLLER_BUTTON_START], key(SDL_SCANCODE_RETURN));
    // Back is ESC only when held (a test of its own); the rest presses nothing.
    int mapped = 0;
    for (uint8_t c : pad_codes) mapped += c != 0;
    EXPECT_EQ(mapped, 7);
}

TEST(PadMapping, TheStickSteersOnlyPastTheDeadZone)
{
    struct Case {
        int16_t x, y;
        std::vector<int> down;
    };
    const int16_t edge = static_cast<int16_t>(PAD_DEAD_ZONE);
    const std::vector<Case> cases = {
        {0, 0, {}},
        {static_cast<int16_t>(edge - 1), static_cast<int16_t>(1 - edge), {}},  // resting slack
        {static_cast<int16_t>(-edge), 0, {DIK_LEFT}},
        {edge, 0, {DIK_RIGHT}},
        {0, static_cast<int16_t>(-edge), {DIK_UP}},
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
        EXPECT_EQ(down_codes(keys), want) << "stick at " << c.x << "," << c.y;
    }
}

TEST(PadMapping, PadAndKeyboardAddUp)
{
    std::array<uint8_t, 256> keys{};
    keys[DIK_SPACE] = PC_KEY_DOWN;  // the keyboard fires
    keys[DIK_LEFT] = PC_KEY_DOWN;
    PadReading pad;
    pad.held[SDL_CONTROLLER_BUTTON_DPAD_UP] = true;  // the pad thrusts
    pad.held[SDL_CONTROLLER_BUTTON_A] = true;        // and fires too
    key_state_add_pad(pad, keys.data());
    EXPECT_EQ(down_codes(keys), (std::vector<int>{DIK_SPACE, DIK_UP, DIK_LEFT}));
    for (int code : down_codes(keys)) EXPECT_EQ(keys[static_cast<size_t>(code)], PC_KEY_DOWN);

    // A pad at rest lets go of nothing the keyboard holds.
    key_state_add_pad(PadReading{}, keys.data());
    EXPECT_EQ(down_codes(keys), (std::vector<int>{DIK_SPACE, DIK_UP, DIK_LEFT}));
}

// --- virtual pads through the edge ------------------------------------------

// The loop takes one event a frame; here all that are waiting. SDL ends a
// poll early at the marker it queues after each pump, so two empty polls in
// a row mean the queue is empty.
void drain_events()
{
    for (int empty = 0; empty < 2;) empty = platform_poll_event() == PLATFORM_EVENT_NONE ? empty + 1 : 0;
}

// One of SDL's virtual game controllers: every standard button and axis, in
// SDL's own order, so that button b of the joystick is button b of the pad.
struct VirtualPad {
    SDL_JoystickID id = -1;
    SDL_Joystick* joystick = nullptr;

    static int device_of(SDL_JoystickID id)
    {
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id) return i;
        }
        return -1;
    }

    bool plug_in()
    {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.name = "Kestrava test pad";
        const int device = SDL_JoystickAttachVirtualEx(&desc);
        if (device < 0) return false;
        id = SDL_JoystickGetDeviceInstanceID(device);
        joystick = SDL_JoystickOpen(device);  // the test's own hold on it, to press its buttons
        return joystick != nullptr && SDL_IsGameController(device);
    }
    void press(SDL_GameControllerButton b, bool down) { SDL_JoystickSetVirtualButton(joystick, b, down); }
    void lean(SDL_GameControllerAxis a, int16_t v) { SDL_JoystickSetVirtualAxis(joystick, a, v); }
    void pull_out()
    {
        if (!joystick) return;
        SDL_JoystickClose(joystick);
        joystick = nullptr;
        const int device = device_of(id);
        if (device >= 0) SDL_JoystickDetachVirtual(device);
    }
};

class Pads : public ::testing::Test {
protected:
    void SetUp() override
    {
        report_clear();
        ASSERT_EQ(platform_keyboard_open(), 1) << report_text();
        drain();
    }
    void TearDown() override
    {
        for (VirtualPad& p : plugged) p.pull_out();
        drain();
        platform_keyboard_close();
    }

    static void drain() { drain_events(); }
    static std::array<uint8_t, 256> read()
    {
        std::array<uint8_t, 256> keys;
        keys.fill(0x55);
        platform_keyboard_read(keys.data());
        return keys;
    }
    VirtualPad& plug_in()
    {
        plugged.emplace_back();
        EXPECT_TRUE(plugged.back().plug_in()) << SDL_GetError();
        return plugged.back();
    }

    std::vector<VirtualPad> plugged;
};

TEST_F(Pads, APadPluggedInMidGamePlaysAndLeavesCleanly)
{
    EXPECT_EQ(sdl_edge_pad_count(), 0);
    EXPECT_TRUE(down_codes(read()).empty());
    plugged.reserve(2);
    VirtualPad& pad = plug_in();
    drain();
    ASSERT_EQ(sdl_edge_pad_count(), 1);

    pad.press(SDL_CONTROLLER_BUTTON_START, true);
    EXPECT_EQ(down_codes(read()), (std::vector<int>{DIK_RETURN}));
    pad.press(SDL_CONTROLLER_BUTTON_START, false);
    pad.press(SDL_CONTROLLER_BUTTON_A, true);
    pad.press(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    pad.lean(SDL_CONTROLLER_AXIS_LEFTY, -30000);
    EXPECT_EQ(down_codes(read()), (std::vector<int>{DIK_SPACE, DIK_UP, DIK_RIGHT}));
    pad.press(SDL_CONTROLLER_BUTTON_A, false);
    pad.press(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    pad.lean(SDL_CONTROLLER_AXIS_LEFTY, 0);
    pad.press(SDL_CONTROLLER_BUTTON_B, true);
    pad.press(SDL_CONTROLLER_BUTTON_BACK, true);
    pad.press(SDL_CONTROLLER_BUTTON_Y, true);  // presses nothing
    EXPECT_EQ(down_codes(read()), (std::vector<int>{DIK_DOWN}));

    // Pulled out with buttons held: nothing stays down.
    pad.pull_out();
    drain();
    EXPECT_EQ(sdl_edge_pad_count(), 0);
    EXPECT_TRUE(down_codes(read()).empty());

    // And plugged in again.
    VirtualPad& again = plug_in();
    drain();
    ASSERT_EQ(sdl_edge_pad_count(), 1);
    again.press(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    EXPECT_EQ(down_codes(read()), (std::vector<int>{DIK_LEFT}));
}

TEST_F(Pads, TwoPadsAddUp)
{
    plugged.reserve(2);
    VirtualPad& first = plug_in();
    VirtualPad& second = plug_in();
    drain();
    ASSERT_EQ(sdl_edge_pad_count(), 2);
    first.press(SDL_CONTROLLER_BUTTON_A, true);
    second.lean(SDL_CONTROLLER_AXIS_LEFTX, -20000);
    EXPECT_EQ(down_codes(read()), (std::vector<int>{DIK_SPACE, DIK_LEFT}));
    first.pull_out();
    drain();
    EXPECT_EQ(sdl_edge_pad_count(), 1);
    EXPECT_EQ(down_codes(read()), (std::vector<int>{DIK_LEFT}));
}

// The game's own keyboard layer sees the pad as keys; the rules cannot tell.
TEST_F(Pads, TheGameReadsThePadAsKeys)
{
    platform_keyboard_close();
    ASSERT_EQ(keyboard_init(), 1);
    VirtualPad& pad = plug_in();
    drain();
    pad.press(SDL_CONTROLLER_BUTTON_A, true);
    pad.press(SDL_CONTROLLER_BUTTON_B, true);
    keyboard_poll(world.key_state);
    EXPECT_TRUE(key_down(DIK_SPACE));
    EXPECT_TRUE(key_down(DIK_DOWN));
    EXPECT_FALSE(key_down(DIK_RETURN));
    pad.press(SDL_CONTROLLER_BUTTON_A, false);
    keyboard_poll(world.key_state);
    EXPECT_FALSE(key_down(DIK_SPACE));
    pad.pull_out();
    drain();
    keyboard_shutdown();
    ASSERT_EQ(platform_keyboard_open(), 1);
}

TEST(PadsAtStartUp, APadAlreadyPluggedInIsFound)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    VirtualPad pad;
    ASSERT_TRUE(pad.plug_in()) << SDL_GetError();
    ASSERT_EQ(platform_keyboard_open(), 1);
    drain_events();
    EXPECT_EQ(sdl_edge_pad_count(), 1);
    pad.press(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
    std::array<uint8_t, 256> keys{};
    platform_keyboard_read(keys.data());
    EXPECT_EQ(down_codes(keys), (std::vector<int>{DIK_DOWN}));
    pad.pull_out();
    platform_keyboard_close();
    EXPECT_EQ(sdl_edge_pad_count(), 0);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

// With the window open, pads coming and going get through the edge's event
// filter; their button and stick events, read from the pad's state instead,
// must not queue up ahead of the quit.
TEST(PadsWithTheWindow, DeviceEventsPassAndMotionDoesNotQueue)
{
    ASSERT_EQ(platform_window_open("Kestrava", 640, 480), 1) << report_text();
    ASSERT_EQ(platform_keyboard_open(), 1);
    drain_events();
    VirtualPad pad;
    ASSERT_TRUE(pad.plug_in()) << SDL_GetError();
    drain_events();
    EXPECT_EQ(sdl_edge_pad_count(), 1);
    for (int i = 0; i < 1000; ++i) {
        SDL_Event e{};
        e.type = static_cast<Uint32>(i % 2 ? SDL_CONTROLLERAXISMOTION : SDL_CONTROLLERBUTTONDOWN);
        SDL_PushEvent(&e);
        SDL_Event j{};
        j.type = SDL_JOYAXISMOTION;
        SDL_PushEvent(&j);
    }
    platform_window_destroy();
    EXPECT_EQ(platform_poll_event(), PLATFORM_EVENT_QUIT);
    pad.pull_out();
    drain_events();
    EXPECT_EQ(sdl_edge_pad_count(), 0);
    platform_keyboard_close();
    platform_window_close();
}

}  // namespace
