// The real game on a virtual X screen with a window manager, played once as a
// person would, and its splash on laptop screens with a window manager and
// without, watched through screenshots kept in the build folder. Needs Xvfb,
// openbox, xdotool, xprop and ImageMagick's import.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <tuple>

#include "../support/process.h"
#include "formats/bmp.h"
#include "formats/png.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The screen of the played run, and the picture on it at twice its size,
// centred (integer scaling).
constexpr int SCREEN_W = 1920, SCREEN_H = 1080, SCALE = 2;
constexpr int BOX_X = (SCREEN_W - 640 * SCALE) / 2, BOX_Y = (SCREEN_H - 480 * SCALE) / 2;
const fs::path data_dir = KESTRAVA_DATA_DIR;

std::string run(const std::vector<std::string>& argv) { return run_program(argv).out; }
bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Asks `ready` every 50 ms until it holds or `limit` has passed.
template <typename Ready>
bool wait_until(std::chrono::milliseconds limit, Ready ready)
{
    for (const auto end = Clock::now() + limit; !ready(); std::this_thread::sleep_for(50ms))
        if (Clock::now() > end) return false;
    return true;
}

// The whole screen, 0xRRGGBB; game(gx, gy) is a pixel of the game's picture.
struct Screen {
    std::string rgb;
    int w = SCREEN_W;
    uint32_t at(int x, int y) const
    {
        const auto* p = reinterpret_cast<const uint8_t*>(&rgb[(size_t(y) * size_t(w) + size_t(x)) * 3]);
        return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
    uint32_t game(int gx, int gy) const { return at(BOX_X + gx * SCALE, BOX_Y + gy * SCALE); }
    // The rectangle of everything not black: x, y, width, height.
    std::array<int, 4> lit() const
    {
        int left = w, top = 0, right = -1, bottom = -1;
        for (int y = 0; !rgb.empty() && y < int(rgb.size() / 3) / w; ++y)
            for (int x = 0; x < w; ++x)
                if (at(x, y))
                    left = std::min(left, x), right = std::max(right, x), top = bottom < 0 ? y : top, bottom = y;
        return {left, top, right - left + 1, bottom - top + 1};
    }
};

// The screen now, kept as <name>.png when named; empty if it could not be had.
Screen screenshot(const std::string& name = "", int w = SCREEN_W, int h = SCREEN_H)
{
    Screen shot{run({"import", "-window", "root", "-depth", "8", "rgb:-"}), w};
    if (shot.rgb.size() != size_t(w) * size_t(h) * 3) return Screen{};
    if (!name.empty())
        png_write_rgb((fs::path(KESTRAVA_E2E_OUT) / (name + ".png")).c_str(), w, h,
                      reinterpret_cast<const uint8_t*>(shot.rgb.data()));
    return shot;
}

// An image of the data folder through the splash's palette, the one the game
// shows everything in; 640 x 480, top row first.
std::vector<uint32_t> read_image(const char* file)
{
    std::vector<uint32_t> pixels;
    LoadedBitmap image{}, colours{};
    if (bmp_read(image, (data_dir / file).c_str()) && bmp_read(colours, (data_dir / "splash.bmp").c_str()) &&
        image.info_header.biBitCount == 8 && image.info_header.biWidth == 640 && image.pixel_bytes >= 640 * 480) {
        for (size_t i = 0; i < 640 * 480; ++i) {
            const auto& c = colours.palette[image.pixels[i]];
            pixels.push_back(uint32_t(c.peRed) << 16 | uint32_t(c.peGreen) << 8 | c.peBlue);
        }
    }
    bmp_release(image);
    bmp_release(colours);
    return pixels;
}

// Pixels of the picture from row y0 down, every step-th, that show the image.
int same_pixels(const Screen& shot, const std::vector<uint32_t>& image, int y0, int step)
{
    int same = 0;
    for (int gy = y0; !shot.rgb.empty() && !image.empty() && gy < 480; gy += step)
        for (int gx = step / 2; gx < 640; gx += step) same += shot.game(gx, gy) == image[size_t(gy * 640 + gx)];
    return same;
}
double match_share(const Screen& s, const std::vector<uint32_t>& image) { return same_pixels(s, image, 5, 10) / 3072.0; }

bool bars_black(const Screen& shot)
{
    bool black = !shot.rgb.empty();
    for (int y = 0; black && y < SCREEN_H; y += 7)
        for (int x : {0, BOX_X / 2, BOX_X - 1, BOX_X + 640 * SCALE, SCREEN_W - 1}) black &= shot.at(x, y) == 0;
    for (int x = BOX_X; black && x < BOX_X + 640 * SCALE; x += 7)
        black &= shot.at(x, BOX_Y - 1) == 0 && shot.at(x, BOX_Y + 480 * SCALE) == 0;
    return black;
}

// The air left, in green at the top, shows only in play.
bool is_green(uint32_t c) { return (c >> 8 & 255) > 150 && c >> 16 < 100 && (c & 255) < 100; }
int status_line_green(const Screen& shot)
{
    int green = 0;
    for (int gy = 5; !shot.rgb.empty() && gy < 22; ++gy)
        for (int gx = 50; gx < 250; ++gx) green += is_green(shot.game(gx, gy));
    return green;
}

bool sized(const std::string& window, int w, int h)
{
    const std::string want = "WIDTH=" + std::to_string(w) + "\nHEIGHT=" + std::to_string(h) + "\n";
    return wait_until(5s, [&] { return has(run({"xdotool", "getwindowgeometry", "--shell", window}), want); });
}

void key(const std::string& window, const char* keys, std::chrono::milliseconds held = 150ms)
{
    run({"xdotool", "windowfocus", "--sync", window, "keydown", keys});
    std::this_thread::sleep_for(held);
    run({"xdotool", "windowfocus", "--sync", window, "keyup", keys});
}

// An X server on a free display, with openbox or without a window manager;
// asked to end, the server takes its lock file away.
struct Desktop {
    Program xvfb;
    std::unique_ptr<Program> window_manager;
    Desktop(const std::string& size, bool managed)
        : xvfb({"Xvfb", "-displayfd", "1", "-screen", "0", size + "x24", "-nolisten", "tcp"})
    {
        if (!wait_until(10s, [&] { return has(xvfb.wait(0ms).out, "\n"); })) return;
        const std::string number = xvfb.wait(0ms).out;
        setenv("DISPLAY", (std::string(":") += number.substr(0, number.find('\n'))).c_str(), 1);
        fs::create_directories(KESTRAVA_E2E_OUT);
        if (managed) window_manager = std::make_unique<Program>(std::vector<std::string>{"openbox", "--sm-disable"});
    }
    bool ready()
    {
        return has(xvfb.wait(0ms).out, "\n") &&
               (!window_manager ||
                wait_until(10s, [] { return has(run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}), "window id"); }));
    }
    ~Desktop()
    {
        window_manager.reset();
        xvfb.signal(SIGTERM);
        xvfb.wait(3s);
    }
};

std::string game_window(Program& game)
{
    std::string window = run({"timeout", "15", "xdotool", "search", "--sync", "--onlyvisible", "--name", "^Kestrava$"});
    if (window.empty()) ADD_FAILURE() << "no window; " << game.wait(0ms).err;
    return window.substr(0, window.find('\n'));
}

// The splash fills a laptop's screen as far as its shape allows, whether a
// window manager grants fullscreen or there is none to; ESC there ends the
// game at once, before its intro.
TEST(Desktop, TheSplashFillsTheScreenAndEscEndsIt)
{
    const std::tuple<int, int, bool, std::array<int, 4>> cases[] = {
        {1366, 768, false, {171, 0, 1024, 768}},
        {1600, 900, true, {200, 0, 1200, 900}},
    };
    for (const auto& [w, h, managed, want] : cases) {
        const std::string size = std::to_string(w) + "x" + std::to_string(h);
        Desktop desktop(size, managed);
        ASSERT_TRUE(desktop.ready()) << size << ": Xvfb or openbox did not start";
        Program game({KESTRAVA_BINARY}, data_dir, {{"SDL_AUDIODRIVER", "dummy"}, {"LSAN_OPTIONS", "exitcode=0"}});
        const std::string window = game_window(game);
        const std::string name = "fill-" + size + (managed ? "" : "-bare");
        wait_until(15s, [&] { return screenshot("", w, h).lit() == want; });
        const std::array<int, 4> lit = screenshot(name, w, h).lit();
        EXPECT_EQ(lit, want) << "see " << name << ".png";
        key(window, "Escape");
        const Ended end = game.wait(20s);
        EXPECT_TRUE(end.exited && end.status == 0) << size << ": " << end.status << " " << end.err;
    }
}

TEST(Desktop, PlayedAsAPersonWould)
{
    Desktop desktop("1920x1080", true);
    ASSERT_TRUE(desktop.ready()) << "Xvfb or openbox did not start";
    const std::vector<uint32_t> splash = read_image("splash.bmp"), backdrop = read_image("backdrop.bmp");
    ASSERT_FALSE(splash.empty() || backdrop.empty()) << "the data files in " << data_dir;
    // Under the sanitizers, what X's and D-Bus's libraries keep until exit is
    // no failure here; memory errors still end the game at once.
    const auto launched = Clock::now();
    Program game({KESTRAVA_BINARY, "--integer-scale"}, data_dir,
                 {{"SDL_AUDIODRIVER", "dummy"}, {"LSAN_OPTIONS", "exitcode=0"}});
    const std::string window = game_window(game);
    ASSERT_FALSE(window.empty());
    // The splash, in its own colours, fills the letterbox.
    wait_until(3s, [&] { return match_share(screenshot(), splash) > 0.99; });
    Screen shot = screenshot("1-splash");
    EXPECT_TRUE(match_share(shot, splash) > 0.99 && bars_black(shot)) << "see 1-splash.png";
    // Then the intro after four seconds: the backdrop with the text rising.
    wait_until(15s, [&] { return match_share(screenshot(), backdrop) > 0.5; });
    shot = screenshot("2-intro");
    const auto intro = Clock::now();
    ASSERT_FALSE(game.wait(0ms).exited) << "the game ended: " << game.wait(0ms).err;
    EXPECT_TRUE(match_share(shot, backdrop) > 0.5 && match_share(shot, splash) < 0.5 && bars_black(shot))
        << "see 2-intro.png";
    EXPECT_GE(intro - launched, 4000ms);
    const int text_before = same_pixels(shot, backdrop, 300, 1);
    // Alt+Enter, held a moment as fingers do: a window twice the picture's
    // size, fullscreen again, and still the intro: the chord's RETURN never
    // starts the game.
    key(window, "alt+Return");
    EXPECT_TRUE(sized(window, 1280, 960)) << run({"xdotool", "getwindowgeometry", window});
    key(window, "alt+Return");
    EXPECT_TRUE(sized(window, SCREEN_W, SCREEN_H)) << run({"xdotool", "getwindowgeometry", window});
    std::this_thread::sleep_until(std::max(Clock::now() + 300ms, intro + 2s));
    shot = screenshot("3-fullscreen-again");
    EXPECT_TRUE(match_share(shot, backdrop) > 0.5 && bars_black(shot)) << "see 3-fullscreen-again.png";
    EXPECT_EQ(status_line_green(shot), 0) << "the chord's RETURN ended the intro; see 3-fullscreen-again.png";
    EXPECT_LT(same_pixels(shot, backdrop, 300, 1), text_before - 1000) << "no text rising; see 3-fullscreen-again.png";
    // RETURN starts play: the air left, in green at the top.
    key(window, "Return", 250ms);
    wait_until(2s, [] { return status_line_green(screenshot()) > 100; });
    shot = screenshot("4-play");
    EXPECT_TRUE(status_line_green(shot) > 100 && bars_black(shot)) << "no green status line; see 4-play.png";
    // F1 and P each dim the picture under their overlay, and go on again.
    for (const char* overlay : {"F1", "p"}) {
        key(window, overlay);
        wait_until(2s, [] { return status_line_green(screenshot()) == 0; });
        EXPECT_EQ(status_line_green(screenshot(std::string("5-") + overlay)), 0) << "see 5-" << overlay << ".png";
        key(window, overlay);
        EXPECT_TRUE(wait_until(2s, [] { return status_line_green(screenshot()) > 100; })) << overlay;
    }
    // openbox's Alt+F4 asks the window to close: the game ends.
    run({"xdotool", "windowfocus", "--sync", window, "key", "alt+F4"});
    const Ended end = game.wait(10s);
    EXPECT_TRUE(end.exited && end.status == 0) << end.status << " " << end.err;
}

}  // namespace
