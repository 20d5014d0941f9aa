// The window of the player's edge under SDL's dummy video driver: the
// letterbox and the fill, the picture as it reaches the screen, the window
// toggle and the pointer, what the event filter lets through. (A display
// that cannot be opened: NoDevice.WithNoDisplayAtAllTheGameExitsWithTheReason.)
#include <gtest/gtest.h>

#include "../support/sdl_events.h"
#include "base/report.h"

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

}  // namespace
