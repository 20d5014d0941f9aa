// The window, the keyboard and the pads of the player's edge under SDL's
// dummy drivers: the letterbox and the fill, the picture on screen, the
// window toggle and the pointer, the event filter; SDL's keys onto the PC
// scan codes the game reads (Alt+Enter never RETURN), the pads' buttons and
// stick, pads plugged in and pulled out. (A display that cannot be opened:
// NoDevice.WithNoDisplayAtAllTheGameExitsWithTheReason.)
#include <gtest/gtest.h>

#include <map>

#include "../support/sdl_events.h"
#include "base/report.h"
#include "input/keys.h"

namespace {

constexpr int W = 640, H = 480;

uint32_t argb_of(const Colour& c) { return 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; }

// Where the picture goes in the window: whole multiples centred, else the
// picture's shape; filled, the largest of its shape; the window's multiple
// on a desktop; and its colours.
TEST(Picture, LetterboxFillWindowAndPaletteConversion)
{
    const std::tuple<bool, int, int, SDL_Rect> cases[] = {  // filled, or letterboxed in whole multiples
        {true, 1366, 768, {171, 0, 1024, 768}}, {true, 1600, 900, {200, 0, 1200, 900}},
        {true, 1280, 1024, {0, 32, 1280, 960}}, {true, 640, 480, {0, 0, 640, 480}}, {true, 0, 480, {0, 0, 0, 0}},
        {false, 640, 480, {0, 0, 640, 480}},    {false, 1920, 1080, {320, 60, 1280, 960}},
        {false, 2560, 1440, {320, 0, 1920, 1440}}, {false, 800, 600, {80, 60, 640, 480}},
        {false, 1280, 1024, {0, 32, 1280, 960}},   {false, 3840, 2160, {640, 120, 2560, 1920}},
        {false, 1279, 959, {319, 239, 640, 480}},  {false, 641, 2000, {0, 760, 640, 480}},
        {false, 320, 240, {0, 0, 320, 240}},       {false, 1000, 300, {300, 0, 400, 300}},  // too low, bars aside
        {false, 400, 1000, {0, 350, 400, 300}},    {false, 0, 480, {0, 0, 0, 0}},           // too narrow; minimised
    };
    for (const auto& [filled, w, h, want] : cases) {
        const SDL_Rect r = (filled ? fill_rect : letterbox_rect)(w, h, W, H);
        EXPECT_TRUE(std::tie(r.x, r.y, r.w, r.h) == std::tie(want.x, want.y, want.w, want.h))
            << filled << " " << w << "x" << h << " gives " << r.x << "," << r.y << " " << r.w << "x" << r.h;
    }
    EXPECT_EQ((std::array{window_scale(1920, 1050, W, H), window_scale(1366, 740, W, H), window_scale(2560, 1400, W, H),
                          window_scale(600, 400, W, H)}),
              (std::array{2, 1, 2, 1}));
    // The palette, opaque whatever its alpha, along both pitches.
    const Palette palette = test_palette(0);
    std::array<uint32_t, 256> argb{};
    palette_to_argb(palette.data(), argb.data());
    for (size_t i = 0; i < 256; ++i) EXPECT_EQ(argb[i], argb_of(palette[i])) << i;
    // 3 x 2 pixels, source rows 5 bytes apart, target rows 4 pixels apart.
    const uint8_t src[] = {1, 2, 3, 99, 99, 4, 5, 6, 99, 99};
    const uint32_t pad = 0xDEADBEEF;
    std::vector<uint32_t> dst(8, pad);
    indices_to_argb(src, 5, 3, 2, argb.data(), reinterpret_cast<uint8_t*>(dst.data()), 16);
    EXPECT_EQ(dst, (std::vector<uint32_t>{argb[1], argb[2], argb[3], pad, argb[4], argb[5], argb[6], pad}))
        << "the padding of a target row is left alone";
}

// On screen the picture must be in the letterbox through the palette, every
// pixel of it, and black around it.
void present_and_check(int pitch, const Palette& palette)
{
    platform_present(test_picture(pitch, 0).data(), pitch, W, H, palette.data());
    int out_w = 0, out_h = 0, wrong = 0;
    SDL_GetRendererOutputSize(sdl_edge_renderer(), &out_w, &out_h);
    std::vector<uint32_t> shown(size_t(out_w) * size_t(out_h));
    ASSERT_EQ(SDL_RenderReadPixels(sdl_edge_renderer(), nullptr, SDL_PIXELFORMAT_ARGB8888, shown.data(), 4 * out_w), 0);
    const SDL_Rect box = letterbox_rect(out_w, out_h, W, H);
    const int scale = std::max(box.w / W, 1);
    for (int y = 0; y < out_h; ++y)
        for (int x = 0; x < out_w; ++x) {
            const bool inside = x >= box.x && x < box.x + box.w && y >= box.y && y < box.y + box.h;
            const uint32_t want = inside ? argb_of(palette[size_t(((x - box.x) / scale * 3 + (y - box.y) / scale) & 255)])
                                         : 0xFF000000u;
            if ((shown[size_t(y * out_w + x)] | 0xFF000000u) != want && wrong++ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " of " << out_w << "x" << out_h;
        }
    EXPECT_EQ(wrong, 0);
}

bool fullscreen_on_the_desktop()
{
    const Uint32 flags = SDL_GetWindowFlags(sdl_edge_window());
    return sdl_edge_fullscreen() && (flags & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
}

class Window : public ::testing::Test {
    void SetUp() override
    {
        ASSERT_EQ(platform_window_open("Kestrava", W, H), 1) << report_text();
        drain_events();
    }
    void TearDown() override { platform_window_close(); EXPECT_EQ(sdl_edge_window(), nullptr) << "closed, yet named"; }
};

// Fullscreen at first; Alt+Enter toggles a resizable window of the picture's
// size (all the dummy desktop holds) and back, once however long it is held;
// the pointer shows in the window only. RETURN alone or with another modifier
// is the game's. Integer scaling shows today's picture, pixel for pixel.
TEST_F(Window, OpensFullscreenShowsThePictureAndAltEnterTogglesAWindow)
{
    platform_choose_integer_scale(true);
    EXPECT_TRUE(fullscreen_on_the_desktop() && (SDL_GetWindowFlags(sdl_edge_window()) & SDL_WINDOW_BORDERLESS));
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    present_and_check(W + 16, test_palette(0));  // a surface's rows may be longer than the picture
    present_and_check(W, test_palette(77));      // another palette replaces the first whole
    for (Uint16 alt : {KMOD_LALT, KMOD_RALT}) {
        push_key(SDL_SCANCODE_RETURN, alt);
        push_key(SDL_SCANCODE_RETURN, alt, 1);
        EXPECT_EQ(platform_poll_event(), PLATFORM_EVENT_FULLSCREEN);
        drain_events();
        int w = 0, h = 0;
        SDL_GetWindowSize(sdl_edge_window(), &w, &h);
        const Uint32 flags = SDL_GetWindowFlags(sdl_edge_window());
        const bool windowed = !sdl_edge_fullscreen() && !(flags & SDL_WINDOW_FULLSCREEN) && flags & SDL_WINDOW_RESIZABLE;
        EXPECT_TRUE(alt == KMOD_LALT ? windowed && w == W && h == H : fullscreen_on_the_desktop()) << w << "x" << h;
        EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), alt == KMOD_LALT ? SDL_ENABLE : SDL_DISABLE);
        present_and_check(W, test_palette(0));
    }
    push_key(SDL_SCANCODE_RETURN);
    push_key(SDL_SCANCODE_RETURN, KMOD_LCTRL);
    drain_events();
    EXPECT_TRUE(fullscreen_on_the_desktop());
    platform_choose_integer_scale(false);
}

// Filled past a whole multiple, every picture pixel keeps one width: scaled
// up by whole numbers first, only the rest smoothed. A stretch of the picture
// itself smooths nearly every column (or, blocky, leaves them uneven).
TEST_F(Window, FillsTheWindowSharply)
{
    push_key(SDL_SCANCODE_RETURN, KMOD_LALT);
    drain_events();
    SDL_SetWindowSize(sdl_edge_window(), 1500, 1050);
    drain_events();
    std::vector<uint8_t> stripes(size_t(W) * H);
    for (size_t i = 0; i < stripes.size(); ++i) stripes[i] = uint8_t(i % 2);
    Palette palette{};
    palette[0] = Colour{200, 100, 50, 255};
    palette[1] = Colour{50, 100, 200, 255};
    platform_present(stripes.data(), W, W, H, palette.data());
    std::vector<uint32_t> row(1500);
    const SDL_Rect middle{0, 525, 1500, 1};
    ASSERT_EQ(SDL_RenderReadPixels(sdl_edge_renderer(), &middle, SDL_PIXELFORMAT_ARGB8888, row.data(), 4 * 1500), 0);
    int pure = 0;
    for (int x = 50; x < 1450; ++x) {
        const uint32_t c = row[size_t(x)] & 0xFFFFFF;
        pure += c == 0xC86432 || c == 0x3264C8;
    }
    EXPECT_TRUE((row[49] & 0xFFFFFF) == 0 && (row[50] & 0xFFFFFF) != 0 && (row[1449] & 0xFFFFFF) != 0 &&
                (row[1450] & 0xFFFFFF) == 0) << "the picture is not 1400 wide at 50";
    EXPECT_TRUE(pure > 700 && pure < 1400) << pure << " of 1400 columns in a picture colour";
}

// One event is taken a frame; what the game never reads (keys, text, the
// mouse, pad buttons and sticks) must not queue up ahead of the quit. Pads
// coming and going still get through.
TEST_F(Window, OnlyTheEdgesOwnEventsQueueAndTheQuitComesOnce)
{
    ASSERT_EQ(platform_keyboard_open(), 1);
    VirtualPad pad;
    ASSERT_TRUE(pad.plug_in()) << SDL_GetError();
    drain_events();
    EXPECT_EQ(sdl_edge_pad_count(), 1);
    for (int i = 0; i < 400; ++i)
        for (SDL_Event e : {SDL_Event{SDL_KEYUP}, {SDL_TEXTINPUT}, {SDL_MOUSEMOTION}, {SDL_CONTROLLERAXISMOTION},
                            {SDL_CONTROLLERBUTTONDOWN}, {SDL_JOYAXISMOTION}}) SDL_PushEvent(&e);
    platform_window_destroy();
    EXPECT_EQ((std::array{platform_poll_event(), platform_poll_event()}),
              (std::array{PLATFORM_EVENT_QUIT, PLATFORM_EVENT_NONE}));
    pad.pull_out();
    drain_events();
    EXPECT_EQ(sdl_edge_pad_count(), 0);
    platform_keyboard_close();
}

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
