// The window of the player's edge under SDL's dummy video driver: the
// letterbox, the picture as it reaches the screen, the window toggle, what
// the event filter lets through, opening and closing.
#include <gtest/gtest.h>

#include "../support/env.h"
#include "../support/sdl_events.h"
#include "base/report.h"

namespace {

constexpr int W = 640;
constexpr int H = 480;

TEST(Letterbox, WholeMultiplesCentredElseThePicturesShape)
{
    struct Case {
        int out_w, out_h;
        SDL_Rect want;
    };
    const Case cases[] = {
        {640, 480, {0, 0, 640, 480}},       {1920, 1080, {320, 60, 1280, 960}},
        {2560, 1440, {320, 0, 1920, 1440}}, {800, 600, {80, 60, 640, 480}},
        {1280, 1024, {0, 32, 1280, 960}},   {3840, 2160, {640, 120, 2560, 1920}},
        {1279, 959, {319, 239, 640, 480}},  {641, 2000, {0, 760, 640, 480}},
        {320, 240, {0, 0, 320, 240}},       {1000, 300, {300, 0, 400, 300}},  // too low: bars left and right
        {400, 1000, {0, 350, 400, 300}},    {0, 480, {0, 0, 0, 0}},           // too narrow; minimised
    };
    for (const Case& c : cases) {
        const SDL_Rect r = letterbox_rect(c.out_w, c.out_h, W, H);
        EXPECT_TRUE(r.x == c.want.x && r.y == c.want.y && r.w == c.want.w && r.h == c.want.h)
            << c.out_w << "x" << c.out_h << " gives " << r.x << "," << r.y << " " << r.w << "x" << r.h;
    }
}

// Alpha 0, as a BMP's reserved byte would leave it: must not matter.
Palette test_palette()
{
    Palette p{};
    for (int i = 0; i < 256; ++i) p[size_t(i)] = Colour{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
    return p;
}

uint32_t expected_argb(int index)
{
    return 0xFF000000u | uint32_t(index) << 16 | uint32_t(255 - index) << 8 | uint8_t(index * 7);
}

TEST(PaletteConversion, OpaqueRedGreenBlueAlongBothPitches)
{
    const Palette palette = test_palette();
    std::array<uint32_t, 256> argb{};
    palette_to_argb(palette.data(), argb.data());
    for (int i = 0; i < 256; ++i) EXPECT_EQ(argb[size_t(i)], expected_argb(i)) << i;
    // 3 x 2 pixels, source rows 5 bytes apart, target rows 4 pixels apart.
    const uint8_t src[] = {1, 2, 3, 99, 99, 4, 5, 6, 99, 99};
    std::vector<uint32_t> dst(8, 0xDEADBEEF);
    indices_to_argb(src, 5, 3, 2, argb.data(), reinterpret_cast<uint8_t*>(dst.data()), 16);
    EXPECT_EQ(dst, (std::vector<uint32_t>{argb[1], argb[2], argb[3], 0xDEADBEEF, argb[4], argb[5], argb[6],
                                          0xDEADBEEF}))
        << "the padding of a target row is left alone";
}

class Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        report_clear();
        ASSERT_EQ(platform_window_open("Kestrava", W, H), 1) << report_text();
        drain_events();
    }
    void TearDown() override { platform_window_close(); }

    // Presents a picture whose every pixel says where it is, rows `pitch`
    // bytes apart, and checks every pixel of the screen: the picture in the
    // letterbox through the palette, black around it.
    static void present_and_check(int pitch, const Palette& palette = test_palette())
    {
        std::vector<uint8_t> picture(size_t(pitch) * H, 0);
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) picture[size_t(y * pitch + x)] = uint8_t(x + 3 * y);
        }
        platform_present(picture.data(), pitch, W, H, palette.data());
        int out_w = 0;
        int out_h = 0;
        SDL_GetRendererOutputSize(sdl_edge_renderer(), &out_w, &out_h);
        std::vector<uint32_t> shown(size_t(out_w) * size_t(out_h));
        ASSERT_EQ(SDL_RenderReadPixels(sdl_edge_renderer(), nullptr, SDL_PIXELFORMAT_ARGB8888, shown.data(), out_w * 4),
                  0)
            << SDL_GetError();
        const SDL_Rect box = letterbox_rect(out_w, out_h, W, H);
        const int scale = box.w / W;
        ASSERT_GE(scale, 1);
        int wrong = 0;
        for (int y = 0; y < out_h; ++y) {
            for (int x = 0; x < out_w; ++x) {
                uint32_t want = 0xFF000000u;
                if (x >= box.x && x < box.x + box.w && y >= box.y && y < box.y + box.h) {
                    const Colour c = palette[size_t(((x - box.x) / scale + 3 * ((y - box.y) / scale)) & 255)];
                    want |= uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
                }
                if ((shown[size_t(y * out_w + x)] | 0xFF000000u) != want && wrong++ < 5) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " of " << out_w << "x" << out_h;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }
};

TEST_F(Window, OpensFullscreenAndShowsThePictureThroughItsPalette)
{
    SDL_Window* window = sdl_edge_window();
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(window), "Kestrava");
    const Uint32 flags = SDL_GetWindowFlags(window);
    EXPECT_EQ(flags & SDL_WINDOW_FULLSCREEN_DESKTOP, Uint32(SDL_WINDOW_FULLSCREEN_DESKTOP));
    EXPECT_TRUE(flags & SDL_WINDOW_BORDERLESS);
    EXPECT_TRUE(sdl_edge_fullscreen());
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);

    present_and_check(W + 16);  // a surface's rows may be longer than the picture
    // A second picture with another palette replaces the first whole.
    Palette grey{};
    grey.fill(Colour{77, 77, 77, 255});
    present_and_check(W, grey);
}

TEST_F(Window, AltEnterTogglesAWindowAndBack)
{
    push_key(SDL_SCANCODE_RETURN, KMOD_LALT);
    EXPECT_EQ(platform_poll_event(), PLATFORM_EVENT_FULLSCREEN);
    EXPECT_FALSE(sdl_edge_fullscreen());
    EXPECT_FALSE(SDL_GetWindowFlags(sdl_edge_window()) & SDL_WINDOW_FULLSCREEN);
    EXPECT_TRUE(SDL_GetWindowFlags(sdl_edge_window()) & SDL_WINDOW_RESIZABLE);
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(sdl_edge_window(), &w, &h);
    EXPECT_EQ(w, W);
    EXPECT_EQ(h, H);
    drain_events();
    present_and_check(W);

    // Held keys repeat; the window must not flicker between modes.
    push_key(SDL_SCANCODE_RETURN, KMOD_LALT, 1);
    drain_events();
    EXPECT_FALSE(sdl_edge_fullscreen());

    push_key(SDL_SCANCODE_RETURN, KMOD_RALT);
    EXPECT_EQ(platform_poll_event(), PLATFORM_EVENT_FULLSCREEN);
    EXPECT_TRUE(sdl_edge_fullscreen());
    EXPECT_EQ(SDL_GetWindowFlags(sdl_edge_window()) & SDL_WINDOW_FULLSCREEN_DESKTOP,
              Uint32(SDL_WINDOW_FULLSCREEN_DESKTOP));
    drain_events();
    present_and_check(W);

    // RETURN alone, or with another modifier, is the game's.
    push_key(SDL_SCANCODE_RETURN);
    push_key(SDL_SCANCODE_RETURN, KMOD_LCTRL);
    drain_events();
    EXPECT_TRUE(sdl_edge_fullscreen());
}

// One event is taken a frame; what the game never reads (keys, text, the
// mouse, pad buttons and sticks, read from the pad's state instead) must not
// queue up ahead of the quit. Pads coming and going still get through.
TEST_F(Window, OnlyTheEdgesOwnEventsQueueAndTheQuitComesOnce)
{
    ASSERT_EQ(platform_keyboard_open(), 1);
    VirtualPad pad;
    ASSERT_TRUE(pad.plug_in()) << SDL_GetError();
    drain_events();
    EXPECT_EQ(sdl_edge_pad_count(), 1);
    const Uint32 ignored[] = {SDL_KEYUP, SDL_TEXTINPUT, SDL_MOUSEMOTION, SDL_CONTROLLERAXISMOTION,
                              SDL_CONTROLLERBUTTONDOWN, SDL_JOYAXISMOTION};
    for (int i = 0; i < 400; ++i) {
        for (Uint32 type : ignored) {
            SDL_Event e{};
            e.type = type;
            SDL_PushEvent(&e);
        }
    }
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
        report_clear();
        EXPECT_EQ(platform_window_open("Kestrava", W, H), 0);
        EXPECT_EQ(std::string(report_text()).rfind("display: ", 0), 0u) << report_text();
        EXPECT_EQ(sdl_edge_window(), nullptr);
        platform_window_close();  // after a failed open: nothing to release
    }
    ASSERT_EQ(platform_window_open("Kestrava", W, H), 1) << report_text();
    platform_window_close();
    EXPECT_EQ(sdl_edge_window(), nullptr);
    platform_window_close();
    ASSERT_EQ(platform_window_open("Kestrava", W, H), 1) << report_text();
    platform_window_close();
}

}  // namespace
