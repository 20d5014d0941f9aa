// The keyboard and the game controllers of the player's edge: SDL's physical
// keys onto the PC scan codes the game reads, the key state built from SDL's
// (Alt+Enter never RETURN), what each pad button and the stick press, and
// SDL's virtual pads plugged in before and during the game and pulled out.
#include <gtest/gtest.h>

#include <map>

#include "../support/sdl_events.h"
#include "base/report.h"
#include "input/keys.h"

namespace {

using Codes = std::vector<int>;

uint8_t code(int s) { return pc_scan_codes[size_t(s)]; }

// Each game key reads its own code and no other key does; every key of a
// full-size keyboard, US or international, reads a code of its own (SDL has
// two names for two single keys).
TEST(ScanCodeTable, GameKeysReadTheirCodesAndEveryOtherKeyOneOfItsOwn)
{
    std::map<int, Codes> keys_of;
    for (int s = 0; s < SDL_NUM_SCANCODES; ++s) keys_of[code(s)].push_back(s);
    for (auto [key, pc] : {std::pair{SDL_SCANCODE_ESCAPE, DIK_ESCAPE}, {SDL_SCANCODE_RETURN, DIK_RETURN},
                           {SDL_SCANCODE_SPACE, DIK_SPACE}, {SDL_SCANCODE_UP, DIK_UP}, {SDL_SCANCODE_LEFT, DIK_LEFT},
                           {SDL_SCANCODE_RIGHT, DIK_RIGHT}, {SDL_SCANCODE_DOWN, DIK_DOWN}})
        EXPECT_EQ(keys_of[pc], Codes{key}) << pc;
    EXPECT_EQ(code(SDL_SCANCODE_UNKNOWN), 0) << "a key SDL cannot name presses nothing";
    const Codes backslash = {SDL_SCANCODE_BACKSLASH, SDL_SCANCODE_NONUSHASH};
    const Codes mute = {SDL_SCANCODE_MUTE, SDL_SCANCODE_AUDIOMUTE};
    for (const auto& [pc, keys] : keys_of)
        EXPECT_TRUE(pc == 0 || keys.size() == 1 || keys == backslash || keys == mute) << pc;
    for (int s : keys_of[0])
        EXPECT_FALSE((s >= SDL_SCANCODE_A && s <= SDL_SCANCODE_APPLICATION) ||
                     (s >= SDL_SCANCODE_LCTRL && s <= SDL_SCANCODE_RGUI) ||
                     (s >= SDL_SCANCODE_INTERNATIONAL1 && s <= SDL_SCANCODE_INTERNATIONAL5)) << s;
}

struct SdlKeys {
    std::array<uint8_t, SDL_NUM_SCANCODES> held{};
    bool hide_return = false;
    std::array<uint8_t, 256> keys{};
    void press(SDL_Scancode s, bool down = true) { held[size_t(s)] = down; }
    Codes read(int count = SDL_NUM_SCANCODES)
    {
        keys.fill(0x55);  // every byte is rewritten
        key_state_from_sdl(held.data(), count, &hide_return, keys.data());
        return down_codes(keys.data());
    }
};

// Held keys read down at their codes only. Alt+Enter toggles the window; its
// RETURN must not reach the intro, the level-clear screen or the game-over
// screen.
TEST(KeyState, AltEnterNeverReadsAsReturn)
{
    SdlKeys sdl;
    for (SDL_Scancode s : {SDL_SCANCODE_UP, SDL_SCANCODE_SPACE, SDL_SCANCODE_F16, SDL_SCANCODE_RETURN}) sdl.press(s);
    EXPECT_EQ(sdl.read(), (Codes{DIK_RETURN, DIK_SPACE, DIK_UP})) << "plain RETURN; F16 has no PC key";
    EXPECT_TRUE(sdl.keys[DIK_SPACE] == PC_KEY_DOWN && sdl.keys[DIK_UP] == PC_KEY_DOWN);
    EXPECT_EQ(sdl.read(SDL_SCANCODE_RETURN + 1), Codes{DIK_RETURN}) << "read past SDL's array";
    auto returned = [&] { return sdl.read(), sdl.keys[DIK_RETURN] != 0; };
    sdl = SdlKeys{};
    for (SDL_Scancode alt : {SDL_SCANCODE_LALT, SDL_SCANCODE_RALT}) {
        sdl.press(alt);
        sdl.press(SDL_SCANCODE_RETURN);
        EXPECT_FALSE(returned()) << "RETURN with Alt held";
        EXPECT_NE(sdl.keys[code(alt)], 0) << "Alt itself still reads";
        sdl.press(alt, false);
        sdl.press(SDL_SCANCODE_RETURN, false);
        EXPECT_FALSE(returned());
    }
    sdl.press(SDL_SCANCODE_RETURN);  // the toggle happened; Alt is let go before RETURN
    sdl.hide_return = true;
    EXPECT_FALSE(returned()) << "RETURN still held from the chord";
    EXPECT_FALSE(returned());
    sdl.press(SDL_SCANCODE_RETURN, false);
    EXPECT_FALSE(returned() || sdl.hide_return);
    sdl.press(SDL_SCANCODE_RETURN);
    EXPECT_TRUE(returned()) << "a fresh press counts again";
}

TEST(PadMapping, ButtonsAndTheStickPastItsDeadZonePressTheKeyboardsOwnKeys)
{
    const std::map<int, int> want = {{SDL_CONTROLLER_BUTTON_DPAD_UP, DIK_UP}, {SDL_CONTROLLER_BUTTON_DPAD_DOWN, DIK_DOWN},
        {SDL_CONTROLLER_BUTTON_DPAD_LEFT, DIK_LEFT}, {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, DIK_RIGHT},
        {SDL_CONTROLLER_BUTTON_A, DIK_SPACE}, {SDL_CONTROLLER_BUTTON_B, DIK_DOWN},
        {SDL_CONTROLLER_BUTTON_START, DIK_RETURN}};  // Back is ESC only once held PAD_BACK_HOLD_MS
    for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
        EXPECT_EQ(pad_codes[size_t(b)], want.count(b) ? want.at(b) : 0) << "button " << b;
    const auto edge = int16_t(PAD_DEAD_ZONE), slack = int16_t(PAD_DEAD_ZONE - 1);
    const std::pair<std::array<int16_t, 2>, Codes> cases[] = {{{0, 0}, {}}, {{slack, int16_t(-slack)}, {}},
        {{int16_t(-edge), 0}, {DIK_LEFT}}, {{edge, 0}, {DIK_RIGHT}}, {{0, int16_t(-edge)}, {DIK_UP}},
        {{0, edge}, {DIK_DOWN}}, {{-32768, -32768}, {DIK_UP, DIK_LEFT}}, {{32767, 32767}, {DIK_RIGHT, DIK_DOWN}}};
    for (const auto& [stick, down] : cases) {
        std::array<uint8_t, 256> keys{};
        key_state_add_pad(PadReading{{}, stick[0], stick[1]}, keys.data());
        EXPECT_EQ(down_codes(keys.data()), down) << "stick at " << stick[0] << "," << stick[1];
    }
    for (uint32_t held : {0u, PAD_BACK_HOLD_MS - 1, PAD_BACK_HOLD_MS}) {
        PadReading pad;
        pad.held[SDL_CONTROLLER_BUTTON_BACK] = held > 0;
        pad.back_held_ms = held;
        std::array<uint8_t, 256> keys{};
        key_state_add_pad(pad, keys.data());
        EXPECT_EQ(down_codes(keys.data()), held >= PAD_BACK_HOLD_MS ? Codes{DIK_ESCAPE} : Codes{}) << held;
    }
}

// A pad plugged in before the game starts, a second one during it: both play,
// neither lets go of what the other holds, and pulled out with buttons held,
// nothing stays down.
TEST(Pads, PluggedInBeforeAndDuringTheGameAndPulledOut)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    VirtualPad first, second;
    ASSERT_TRUE(first.plug_in()) << SDL_GetError();
    ASSERT_EQ(platform_keyboard_open(), 1) << report_text();
    auto pads_after_events = [] { return drain_events(), sdl_edge_pad_count(); };
    EXPECT_EQ(pads_after_events(), 1) << "the pad plugged in at start-up";
    EXPECT_EQ(held_now(), Codes{});
    first.press(SDL_CONTROLLER_BUTTON_START, true);
    EXPECT_EQ(held_now(), Codes{DIK_RETURN});
    first.press(SDL_CONTROLLER_BUTTON_START, false);
    ASSERT_TRUE(second.plug_in()) << SDL_GetError();
    ASSERT_EQ(pads_after_events(), 2);
    first.press(SDL_CONTROLLER_BUTTON_A, true);
    second.press(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    second.lean(SDL_CONTROLLER_AXIS_LEFTY, -30000);
    EXPECT_EQ(held_now(), (Codes{DIK_SPACE, DIK_UP, DIK_RIGHT}));
    first.press(SDL_CONTROLLER_BUTTON_A, false);
    for (auto b : {SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_BACK, SDL_CONTROLLER_BUTTON_Y}) first.press(b, true);
    first.lean(SDL_CONTROLLER_AXIS_LEFTX, -20000);
    EXPECT_EQ(held_now(), (Codes{DIK_UP, DIK_LEFT, DIK_RIGHT, DIK_DOWN}));
    first.pull_out();
    EXPECT_EQ(pads_after_events(), 1);
    EXPECT_EQ(held_now(), (Codes{DIK_UP, DIK_RIGHT}));
    second.pull_out();
    EXPECT_EQ(pads_after_events(), 0);
    EXPECT_EQ(held_now(), Codes{});
    ASSERT_TRUE(first.plug_in());  // and plugged in again
    ASSERT_EQ(pads_after_events(), 1);
    first.press(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    EXPECT_EQ(held_now(), Codes{DIK_LEFT});
    first.pull_out();
    platform_keyboard_close();
    EXPECT_EQ(sdl_edge_pad_count(), 0);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

}  // namespace
