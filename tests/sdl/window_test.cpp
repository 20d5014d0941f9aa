// The window of the player's edge under SDL's dummy video driver: opening,
// the picture as it reaches the screen, the window toggle, events and clock.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl_edge.h"
#include "base/report.h"

namespace {

constexpr int W = 640;
constexpr int H = 480;

// --- the letterbox ----------------------------------------------------------

TEST(Letterbox, WholeMultiplesCentred)
{
    struct Case {
        int out_w, out_h;
        SDL_Rect want;
    };
    const Case cases[] = {
        {640, 480, {0, 0, 640, 480}},         {1920, 1080, {320, 60, 1280, 960}},
        {2560, 1440, {320, 0, 1920, 1440}},   {800, 600, {80, 60, 640, 480}},
        {1280, 1024, {0, 32, 1280, 960}},     {3840, 2160, {640, 120, 2560, 1920}},
        {1279, 959, {319, 239, 640, 480}},    {641, 2000, {0, 760, 640, 480}},
    };
    for (const Case& c : cases) {
        const SDL_Rect r = letterbox_rect(c.out_w, c.out_h, W, H);
        EXPECT_EQ(r.x, c.want.x) << c.out_w << "x" << c.out_h;
        EXPECT_EQ(r.y, c.want.y) << c.out_w << "x" << c.out_h;
        EXPECT_EQ(r.w, c.want.w) << c.out_w << "x" << c.out_h;
        EXPECT_EQ(r.h, c.want.h) << c.out_w << "x" << c.out_h;
    }
}

TEST(Letterbox, SmallerThanThePictureKeepsItsShape)
{
    SDL_Rect r = letterbox_rect(320, 240, W, H);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y, 0);
    EXPECT_EQ(r.w, 320);
    EXPECT_EQ(r.h, 240);
    r = letterbox_rect(1000, 300, W, H);  // wide and low: bars left and right
    EXPECT_EQ(r.h, 300);
    EXPECT_EQ(r.w, 400);
    EXPECT_EQ(r.x, 300);
    r = letterbox_rect(400, 1000, W, H);  // narrow and tall: bars above and below
    EXPECT_EQ(r.w, 400);
    EXPECT_EQ(r.h, 300);
    EXPECT_EQ(r.y, 350);
    r = letterbox_rect(0, 480, W, H);  // a minimised window
    EXPECT_EQ(r.w, 0);
    EXPECT_EQ(r.h, 0);
}

// --- the palette conversion -------------------------------------------------

Palette test_palette()
{
    Palette p{};
    for (int i = 0; i < 256; ++i) {
        // Alpha 0 as a BMP's reserved byte would leave it: must not matter.
        p[static_cast<size_t>(i)] = Colour{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                                 static_cast<uint8_t>(i * 7), 0};
    }
    return p;
}

uint32_t expected_argb(int index)
{
    return 0xFF000000u | static_cast<uint32_t>(index) << 16 | static_cast<uint32_t>(255 - index) << 8 |
           static_cast<uint8_t>(index * 7);
}

TEST(PaletteConversion, OpaqueRedGreenBlueInOrder)
{
    const auto palette = test_palette();
    std::array<uint32_t, 256> argb{};
    palette_to_argb(palette.data(), argb.data());
    for (int i = 0; i < 256; ++i) EXPECT_EQ(argb[static_cast<size_t>(i)], expected_argb(i)) << i;
}

TEST(PaletteConversion, RowsFollowBothPitches)
{
    std::array<uint32_t, 256> argb{};
    for (uint32_t i = 0; i < 256; ++i) argb[i] = 0xFF000000u | i * 0x010101u;
    // 3 x 2 pixels, source rows 5 bytes apart, target rows 4 pixels apart.
    const uint8_t src[] = {1, 2, 3, 99, 99, 4, 5, 6, 99, 99};
    std::vector<uint32_t> dst(8, 0xDEADBEEF);
    indices_to_argb(src, 5, 3, 2, argb.data(), reinterpret_cast<uint8_t*>(dst.data()), 16);
    EXPECT_EQ(dst[0], argb[1]);
    EXPECT_EQ(dst[2], argb[3]);
    EXPECT_EQ(dst[3], 0xDEADBEEF) << "the padding of a target row is left alone";
    EXPECT_EQ(dst[4], argb[4]);
    EXPECT_EQ(dst[6], argb[6]);
    EXPECT_EQ(dst[7], 0xDEADBEEF);
}

// --- the window -------------------------------------------------------------

class Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        report_clear();
        ASSERT_EQ(platform_window_open("Kestrava", W, H), 1) << report_text();
    }
    void TearDown() override { platform_window_close(); }

    static void drain()
    {
        while (platform_poll_event() != PLATFORM_EVENT_NONE) {
        }
    }

    // The renderer's output, read back after a present.
    static std::vector<uint32_t> screen(int& out_w, int& out_h)
    {
        SDL_GetRendererOutputSize(sdl_edge_renderer(), &out_w, &out_h);
        std::vector<uint32_t> pixels(static_cast<size_t>(out_w) * static_cast<size_t>(out_h));
        EXPECT_EQ(SDL_RenderReadPixels(sdl_edge_renderer(), nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(),
                                       out_w * 4),
                  0)
            << SDL_GetError();
        return pixels;
    }

    // A picture whose every pixel says where it is, through test_palette.
    static std::vector<uint8_t> known_picture(int pitch)
    {
        std::vector<uint8_t> picture(static_cast<size_t>(pitch) * H, 0);
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) picture[static_cast<size_t>(y * pitch + x)] = static_cast<uint8_t>(x + 3 * y);
        }
        return picture;
    }

    // The picture must show in the letterbox, every pixel of it, and black
    // around it.
    static void expect_picture_on_screen()
    {
        int out_w = 0;
        int out_h = 0;
        const std::vector<uint32_t> shown = screen(out_w, out_h);
        const SDL_Rect box = letterbox_rect(out_w, out_h, W, H);
        ASSERT_GT(box.w, 0);
        const int scale = box.w / W;
        ASSERT_GE(scale, 1);
        int wrong = 0;
        for (int y = 0; y < out_h; ++y) {
            for (int x = 0; x < out_w; ++x) {
                const bool inside = x >= box.x && x < box.x + box.w && y >= box.y && y < box.y + box.h;
                const uint32_t want = inside ? expected_argb(((x - box.x) / scale + 3 * ((y - box.y) / scale)) & 255)
                                             : 0xFF000000u;
                if ((shown[static_cast<size_t>(y * out_w + x)] | 0xFF000000u) != want && wrong++ < 5) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " of " << out_w << "x" << out_h;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }
};

TEST_F(Window, OpensFullscreenOnTheDesktopWithTheTitle)
{
    SDL_Window* window = sdl_edge_window();
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(window), "Kestrava");
    const Uint32 flags = SDL_GetWindowFlags(window);
    EXPECT_EQ(flags & SDL_WINDOW_FULLSCREEN_DESKTOP, static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP));
    EXPECT_TRUE(flags & SDL_WINDOW_BORDERLESS);
    EXPECT_TRUE(sdl_edge_fullscreen());
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
}

TEST_F(Window, PresentShowsThePictureThroughItsPalette)
{
    const auto palette = test_palette();
    const int pitch = W + 16;  // a surface's rows may be longer than the picture
    const std::vector<uint8_t> picture = known_picture(pitch);
    platform_present(picture.data(), pitch, W, H, palette.data());
    expect_picture_on_screen();

    // A second picture with another palette replaces the first whole.
    Palette grey{};
    for (size_t i = 0; i < 256; ++i) grey[i] = Colour{77, 77, 77, 255};
    platform_present(picture.data(), pitch, W, H, grey.data());
    int out_w = 0;
    int out_h = 0;
    const std::vector<uint32_t> shown = screen(out_w, out_h);
    const SDL_Rect box = letterbox_rect(out_w, out_h, W, H);
    EXPECT_EQ(shown[static_cast<size_t>(box.y * out_w + box.x)] | 0xFF000000u, 0xFF4D4D4Du);
    EXPECT_EQ(shown[static_cast<size_t>((box.y + box.h - 1) * out_w + box.x + box.w - 1)] | 0xFF000000u,
              0xFF4D4D4Du);
}

TEST_F(Window, AltEnterTogglesAWindowAndBack)
{
    drain();
    const auto palette = test_palette();
    const std::vector<uint8_t> picture = known_picture(W);
    platform_present(picture.data(), W, W, H, palette.data());

    auto push_key = [](SDL_Scancode scancode, Uint16 mod, Uint8 repeat) {
        SDL_Event key{};
        key.type = SDL_KEYDOWN;
        key.key.state = SDL_PRESSED;
        key.key.repeat = repeat;
        key.key.keysym.scancode = scancode;
        key.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
        key.key.keysym.mod = mod;
        key.key.windowID = SDL_GetWindowID(sdl_edge_window());
        SDL_PushEvent(&key);
    };

    push_key(SDL_SCANCODE_RETURN, KMOD_LALT, 0);
    EXPECT_EQ(platform_poll_event(), PLATFORM_EVENT_FULLSCREEN);
    EXPECT_FALSE(sdl_edge_fullscreen());
    EXPECT_FALSE(SDL_GetWindowFlags(sdl_edge_window()) & SDL_WINDOW_FULLSCREEN);
    EXPECT_TRUE(SDL_GetWindowFlags(sdl_edge_window()) & SDL_WINDOW_RESIZABLE);
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(sdl_edge_window(), &w, &h);
    EXPECT_EQ(w, W);
    EXPECT_EQ(h, H);
    drain();
    platform_present(picture.data(), W, W, H, palette.data());
    expect_picture_on_screen();

    // Held keys repeat; the window must not flicker between modes.
    push_key(SDL_SCANCODE_RETURN, KMOD_LALT, 1);
    drain();
    EXPECT_FALSE(sdl_edge_fullscreen());

    push_key(SDL_SCANCODE_RETURN, KMOD_RALT, 0);
    EXPECT_EQ(platform_poll_event(), PLATFORM_EVENT_FULLSCREEN);
    EXPECT_TRUE(sdl_edge_fullscreen());
    EXPECT_EQ(SDL_GetWindowFlags(sdl_edge_window()) & SDL_WINDOW_FULLSCREEN_DESKTOP,
              static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP));
    drain();
    platform_present(picture.data(), W, W, H, palette.data());
    expect_picture_on_screen();

    // RETURN alone, or with another modifier, is the game's.
    push_key(SDL_SCANCODE_RETURN, KMOD_NONE, 0);
    push_key(SDL_SCANCODE_RETURN, KMOD_LCTRL, 0);
    drain();
    EXPECT_TRUE(sdl_edge_fullscreen());
}

TEST_F(Window, QuitIsPostedAndTakenOnce)
{
    drain();
    EXPECT_EQ(platform_poll_event(), PLATFORM_EVENT_NONE);
    platform_window_destroy();
    EXPECT_EQ(platform_poll_event(), PLATFORM_EVENT_QUIT);
    EXPECT_EQ(platform_poll_event(), PLATFORM_EVENT_NONE);
}

// One event is taken a frame; what the game never reads must not queue up
// ahead of the quit event.
TEST_F(Window, InputEventsDoNotQueue)
{
    drain();
    for (int i = 0; i < 1000; ++i) {
        SDL_Event e{};
        e.type = static_cast<Uint32>(i % 2 ? SDL_MOUSEMOTION : SDL_KEYUP);
        SDL_PushEvent(&e);
        SDL_Event text{};
        text.type = SDL_TEXTINPUT;
        SDL_PushEvent(&text);
    }
    platform_window_destroy();
    EXPECT_EQ(platform_poll_event(), PLATFORM_EVENT_QUIT);
}

TEST_F(Window, KeyboardOpensAndReadsNothingHeld)
{
    ASSERT_EQ(platform_keyboard_open(), 1);
    std::array<uint8_t, 256> keys;
    keys.fill(0xFF);
    platform_keyboard_read(keys.data());
    for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(keys[i], 0) << "code " << i;
    platform_keyboard_close();
    platform_keyboard_close();  // a second close releases nothing more
}

TEST_F(Window, ClosingTwiceIsHarmless)
{
    platform_window_close();
    EXPECT_EQ(sdl_edge_window(), nullptr);
    platform_window_close();
    // And it opens again.
    ASSERT_EQ(platform_window_open("Kestrava", W, H), 1) << report_text();
}

TEST(WindowFailure, ReportsTheDisplayAndOpensLater)
{
    const char* before = std::getenv("SDL_VIDEODRIVER");
    const std::string saved = before ? before : "";
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    report_clear();
    EXPECT_EQ(platform_window_open("Kestrava", W, H), 0);
    EXPECT_EQ(std::string(report_text()).rfind("display: ", 0), 0u) << report_text();
    EXPECT_EQ(sdl_edge_window(), nullptr);
    platform_window_close();  // after a failed open: nothing to release

    if (before) {
        setenv("SDL_VIDEODRIVER", saved.c_str(), 1);
    } else {
        unsetenv("SDL_VIDEODRIVER");
    }
    ASSERT_EQ(platform_window_open("Kestrava", W, H), 1) << report_text();
    platform_window_close();
}

TEST(Clock, TicksFollowTheDelay)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_TIMER), 0);
    const uint32_t start = platform_ticks();
    platform_delay(20);
    for (int i = 0; i < 1000; ++i) platform_spin();
    EXPECT_GE(platform_ticks() - start, 20u);
    SDL_QuitSubSystem(SDL_INIT_TIMER);
}

}  // namespace
