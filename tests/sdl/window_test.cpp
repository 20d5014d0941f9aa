// The window of the player's edge under SDL's dummy video driver: the
// letterbox, the picture as it reaches the screen, the window toggle, what
// the event filter lets through, opening and closing.
#include <gtest/gtest.h>

#include "../support/env.h"
#include "../support/sdl_events.h"
#include "base/report.h"

namespace {

constexpr int W = 640, H = 480;

uint32_t argb_of(const Colour& c) { return 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; }

// Where the picture goes in the window: whole multiples centred, else the
// picture's shape; and its colours.
TEST(Picture, LetterboxAndPaletteConversion)
{
    const std::pair<std::array<int, 2>, SDL_Rect> cases[] = {
        {{640, 480}, {0, 0, 640, 480}},       {{1920, 1080}, {320, 60, 1280, 960}},
        {{2560, 1440}, {320, 0, 1920, 1440}}, {{800, 600}, {80, 60, 640, 480}},
        {{1280, 1024}, {0, 32, 1280, 960}},   {{3840, 2160}, {640, 120, 2560, 1920}},
        {{1279, 959}, {319, 239, 640, 480}},  {{641, 2000}, {0, 760, 640, 480}},
        {{320, 240}, {0, 0, 320, 240}},       {{1000, 300}, {300, 0, 400, 300}},  // too low: bars left and right
        {{400, 1000}, {0, 350, 400, 300}},    {{0, 480}, {0, 0, 0, 0}},           // too narrow; minimised
    };
    for (const auto& [out, want] : cases) {
        const SDL_Rect r = letterbox_rect(out[0], out[1], W, H);
        EXPECT_TRUE(r.x == want.x && r.y == want.y && r.w == want.w && r.h == want.h)
            << out[0] << "x" << out[1] << " gives " << r.x << "," << r.y << " " << r.w << "x" << r.h;
    }
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
    void TearDown() override { platform_window_close(); }
};

// Fullscreen at first; Alt+Enter toggles a resizable window of the picture's
// size and back, once however long it is held; RETURN alone or with another
// modifier is the game's.
TEST_F(Window, OpensFullscreenShowsThePictureAndAltEnterTogglesAWindow)
{
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
        present_and_check(W, test_palette(0));
    }
    push_key(SDL_SCANCODE_RETURN);
    push_key(SDL_SCANCODE_RETURN, KMOD_LCTRL);
    drain_events();
    EXPECT_TRUE(fullscreen_on_the_desktop());
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
    EXPECT_EQ(platform_poll_event(), PLATFORM_EVENT_QUIT);
    EXPECT_EQ(platform_poll_event(), PLATFORM_EVENT_NONE);
    pad.pull_out();
    drain_events();
    EXPECT_EQ(sdl_edge_pad_count(), 0);
    platform_keyboard_close();
}

TEST(WindowFailure, ReportsTheDisplayClosesTwiceAndOpensLater)
{
    {
        ScopedEnv env;
        env.set("SDL_VIDEODRIVER", "no-such-driver");
        EXPECT_EQ(platform_window_open("Kestrava", W, H), 0);
        EXPECT_TRUE(std::string(report_text()).rfind("display: ", 0) == 0 && !sdl_edge_window()) << report_text();
        platform_window_close();  // after a failed open: nothing to release
    }
    for (int twice = 0; twice < 2; ++twice) {
        ASSERT_EQ(platform_window_open("Kestrava", W, H), 1) << report_text();
        platform_window_close(), platform_window_close();  // the second finds nothing to close
        EXPECT_EQ(sdl_edge_window(), nullptr);
    }
}

}  // namespace
