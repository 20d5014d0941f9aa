// The real game under a virtual X screen with a window manager, played once
// as a person would: the splash and the intro, Alt+Enter to a window and back
// (its RETURN never starting the game), RETURN into play, and the window
// manager's close. Screenshots are kept in the build folder for a person to
// look at.
//
// Needs Xvfb, openbox, xdotool, xprop and ImageMagick's import.
#include <gtest/gtest.h>

#include <memory>

#include "../support/process.h"
#include "formats/bmp.h"
#include "formats/png.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The screen and where the 640 x 480 picture lands on it: twice its size,
// centred.
constexpr int SCREEN_W = 1920, SCREEN_H = 1080, SCALE = 2;
constexpr int BOX_X = (SCREEN_W - 640 * SCALE) / 2, BOX_Y = (SCREEN_H - 480 * SCALE) / 2;
const fs::path data_dir = KESTRAVA_DATA_DIR;

std::string run(const std::vector<std::string>& argv) { return run_program(argv).out; }

// Asks `ready` every 50 ms until it holds or `limit` has passed.
template <typename Ready>
bool wait_until(std::chrono::milliseconds limit, Ready ready)
{
    for (const auto end = Clock::now() + limit; !ready(); std::this_thread::sleep_for(50ms))
        if (Clock::now() > end) return false;
    return true;
}

// The whole screen, 0xRRGGBB; game() is the pixel (gx, gy) of the game's
// picture on it.
struct Screen {
    std::string rgb;
    uint32_t at(int x, int y) const
    {
        const auto* p = reinterpret_cast<const uint8_t*>(&rgb[(size_t(y) * SCREEN_W + size_t(x)) * 3]);
        return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
    uint32_t game(int gx, int gy) const { return at(BOX_X + gx * SCALE, BOX_Y + gy * SCALE); }
};

// The screen now, kept as <name>.png when named; empty if it could not be had.
Screen screenshot(const std::string& name = "")
{
    Screen shot{run({"import", "-window", "root", "-depth", "8", "rgb:-"})};
    if (shot.rgb.size() != size_t(SCREEN_W) * SCREEN_H * 3) return Screen{};
    if (!name.empty())
        png_write_rgb((fs::path(KESTRAVA_E2E_OUT) / (name + ".png")).c_str(), SCREEN_W, SCREEN_H,
                      reinterpret_cast<const uint8_t*>(shot.rgb.data()));
    return shot;
}

// An image of the data folder as the game shows it: through the splash's
// palette, the one palette the game shows everything in. 640 x 480, top row
// first.
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
double match_share(const Screen& shot, const std::vector<uint32_t>& image)
{
    return same_pixels(shot, image, 5, 10) / (64.0 * 48.0);
}

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
int status_line_green(const Screen& shot)
{
    int green = 0;
    for (int gy = 5; !shot.rgb.empty() && gy < 22; ++gy) {
        for (int gx = 50; gx < 250; ++gx) {
            const uint32_t c = shot.game(gx, gy);
            green += (c >> 8 & 255) > 150 && (c >> 16) < 100 && (c & 255) < 100;
        }
    }
    return green;
}

// Screenshots until `seen` holds or `limit` has passed; the last one kept.
template <typename Seen>
Screen wait_for_screen(const std::string& name, std::chrono::milliseconds limit, Seen seen)
{
    wait_until(limit, [&] { return seen(screenshot()); });
    return screenshot(name);
}

bool sized(const std::string& window, int w, int h)
{
    const std::string want = "WIDTH=" + std::to_string(w) + "\nHEIGHT=" + std::to_string(h) + "\n";
    return wait_until(5s, [&] { return run({"xdotool", "getwindowgeometry", "--shell", window}).find(want) != want.npos; });
}

void key(const std::string& window, const char* keys, std::chrono::milliseconds held = 150ms)
{
    run({"xdotool", "windowfocus", "--sync", window, "keydown", keys});
    std::this_thread::sleep_for(held);
    run({"xdotool", "windowfocus", "--sync", window, "keyup", keys});
}

// An X server of its own (Xvfb picks a free display and prints its number)
// and openbox, as fullscreen on the desktop is the window manager's to grant.
class Desktop : public ::testing::Test {
protected:
    static inline std::unique_ptr<Program> xvfb, window_manager;
    static inline std::string setup_error;

    static void SetUpTestSuite()
    {
        fs::create_directories(KESTRAVA_E2E_OUT);
        for (std::string tool : {"Xvfb", "openbox", "xdotool", "xprop", "import"})
            if (run({"sh", "-c", "command -v " + tool}).empty()) setup_error += tool + " is missing. ";
        if (!setup_error.empty()) return;
        xvfb = std::make_unique<Program>(
            std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0", "1920x1080x24", "-nolisten", "tcp"});
        if (!wait_until(10s, [&] { return xvfb->wait(0ms).out.find('\n') != std::string::npos; })) {
            setup_error = "Xvfb did not start: " + xvfb->wait(0ms).err;
            return;
        }
        const std::string number = xvfb->wait(0ms).out;
        setenv("DISPLAY", (std::string(":") += number.substr(0, number.find('\n'))).c_str(), 1);
        window_manager = std::make_unique<Program>(std::vector<std::string>{"openbox", "--sm-disable"});
        auto managed = [] { return run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).find("window id") != std::string::npos; };
        if (!wait_until(10s, managed)) setup_error = "openbox did not start: " + window_manager->wait(0ms).err;
    }

    static void TearDownTestSuite()
    {
        for (auto* p : {&window_manager, &xvfb}) {
            if (*p) (*p)->signal(SIGTERM);
            if (*p) (*p)->wait(3s);  // Xvfb takes its lock file away
            p->reset();
        }
    }
};

TEST_F(Desktop, PlayedAsAPersonWould)
{
    ASSERT_TRUE(setup_error.empty()) << setup_error;
    const std::vector<uint32_t> splash = read_image("splash.bmp"), backdrop = read_image("backdrop.bmp");
    ASSERT_FALSE(splash.empty() || backdrop.empty()) << "the data files in " << data_dir;

    // Built with the sanitizers, the game would end 1 on what X's and D-Bus's
    // libraries keep until exit; leaks of the game's own code are the unit
    // tests' to find. Memory errors still end it at once.
    const auto launched = Clock::now();
    Program game({KESTRAVA_BINARY}, data_dir, {{"SDL_AUDIODRIVER", "dummy"}, {"LSAN_OPTIONS", "exitcode=0"}});
    std::string window = run({"timeout", "15", "xdotool", "search", "--sync", "--onlyvisible", "--name", "^Kestrava$"});
    ASSERT_FALSE(window.empty()) << "no window; " << game.wait(0ms).err;
    window.erase(window.find('\n'));

    // The splash, in its own colours, fills the letterbox.
    Screen shot = wait_for_screen("1-splash", 3s, [&](const Screen& s) { return match_share(s, splash) > 0.99; });
    EXPECT_TRUE(match_share(shot, splash) > 0.99 && bars_black(shot)) << "see 1-splash.png";

    // Then the intro after four seconds: the backdrop with the text rising.
    shot = wait_for_screen("2-intro", 15s, [&](const Screen& s) { return match_share(s, backdrop) > 0.5; });
    const auto intro = Clock::now();
    ASSERT_FALSE(game.wait(0ms).exited) << "the game ended: " << game.wait(0ms).err;
    EXPECT_TRUE(match_share(shot, backdrop) > 0.5 && match_share(shot, splash) < 0.5 && bars_black(shot))
        << "see 2-intro.png";
    EXPECT_GE(intro - launched, 4000ms);
    const int text_before = same_pixels(shot, backdrop, 300, 1);

    // Alt+Enter, the chord held a moment as fingers do: a 640 x 480 window,
    // then fullscreen again, still on the intro.
    key(window, "alt+Return");
    EXPECT_TRUE(sized(window, 640, 480)) << run({"xdotool", "getwindowgeometry", window});
    key(window, "alt+Return");
    EXPECT_TRUE(sized(window, SCREEN_W, SCREEN_H)) << run({"xdotool", "getwindowgeometry", window});
    std::this_thread::sleep_until(std::max(Clock::now() + 300ms, intro + 2s));
    shot = screenshot("3-fullscreen-again");
    EXPECT_TRUE(match_share(shot, backdrop) > 0.5 && bars_black(shot)) << "see 3-fullscreen-again.png";
    EXPECT_EQ(status_line_green(shot), 0) << "the chord's RETURN ended the intro; see 3-fullscreen-again.png";
    EXPECT_LT(same_pixels(shot, backdrop, 300, 1), text_before - 1000) << "no text rising; see 3-fullscreen-again.png";

    // RETURN starts play: the air left, in green at the top.
    key(window, "Return", 250ms);
    shot = wait_for_screen("4-play", 2s, [](const Screen& s) { return status_line_green(s) > 100; });
    EXPECT_TRUE(status_line_green(shot) > 100 && bars_black(shot)) << "no green status line; see 4-play.png";

    // openbox closes its windows on Alt+F4 with the close request: the game
    // ends cleanly within a second.
    run({"xdotool", "windowfocus", "--sync", window, "key", "alt+F4"});
    const auto asked = Clock::now();
    const Ended end = game.wait(3000ms);
    EXPECT_TRUE(end.exited && end.status == 0) << end.status << " " << end.err;
    EXPECT_LT(Clock::now() - asked, 1000ms);
}

}  // namespace
