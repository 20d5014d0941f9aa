// The real game under a virtual X screen with a window manager, played once
// as a person would: the splash and the intro, Alt+Enter to a window and back
// (its RETURN never starting the game), RETURN into play, and the window
// manager's close. Screenshots are kept in the build folder for a
// person to look at.
//
// Needs Xvfb, openbox, xdotool, xprop, xwininfo and ImageMagick's import.
#include <gtest/gtest.h>

#include <poll.h>

#include <cstring>
#include <memory>
#include <sstream>

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
const fs::path shots_dir = KESTRAVA_E2E_OUT;

// Runs a command line to its end; its standard output.
std::string run(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    pclose(pipe);
    return output;
}

struct Color {
    int r, g, b;
    bool operator==(const Color&) const = default;
};

// The whole screen; game() is the pixel (gx, gy) of the game's picture on it.
struct Screenshot {
    int width = 0, height = 0;
    std::string rgb;
    Color at(int x, int y) const
    {
        const auto* p = reinterpret_cast<const uint8_t*>(&rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]);
        return Color{p[0], p[1], p[2]};
    }
    Color game(int gx, int gy) const { return at(BOX_X + gx * SCALE, BOX_Y + gy * SCALE); }
};

// The screen now, as import writes it in binary PPM; kept as <name>.png.
Screenshot screenshot(const std::string& name = "")
{
    Screenshot shot;
    const std::string ppm = run("import -window root -depth 8 ppm:- 2>/dev/null");
    std::istringstream in(ppm);
    std::string magic;
    int maxval = 0;
    in >> magic >> shot.width >> shot.height >> maxval;
    in.get();
    const auto start = size_t(in.tellg()), size = size_t(shot.width) * size_t(shot.height) * 3;
    if (magic != "P6" || maxval != 255 || !in || ppm.size() < start + size) return Screenshot{};
    shot.rgb = ppm.substr(start, size);
    if (!name.empty()) {
        png_write_rgb((shots_dir / (name + ".png")).c_str(), shot.width, shot.height,
                      reinterpret_cast<const uint8_t*>(shot.rgb.data()));
    }
    return shot;
}

// An image of the data folder as the game shows it: through the splash's
// palette, the one palette the game shows everything in.
struct Image {
    std::vector<uint8_t> pixels;  // 640 x 480, top row first
    std::array<Color, 256> palette{};
    Color at(int x, int y) const { return palette[pixels[size_t(y * 640 + x)]]; }
};

Image read_image(const char* file)
{
    Image e;
    LoadedBitmap image{};
    LoadedBitmap colours{};
    if (bmp_read(image, (data_dir / file).c_str()) && bmp_read(colours, (data_dir / "splash.bmp").c_str()) &&
        image.info_header.biBitCount == 8 && image.info_header.biWidth == 640 && image.pixel_bytes >= 640 * 480) {
        e.pixels.assign(image.pixels, image.pixels + 640 * 480);
        for (size_t i = 0; i < 256; ++i) {
            e.palette[i] = Color{colours.palette[i].peRed, colours.palette[i].peGreen, colours.palette[i].peBlue};
        }
    }
    bmp_release(image);
    bmp_release(colours);
    return e;
}

// Pixels of the picture in rows y0..y1 that are not the image's.
int changed_pixels(const Screenshot& shot, const Image& image, int y0, int y1)
{
    int n = 0;
    for (int gy = y0; gy < y1; ++gy) {
        for (int gx = 0; gx < 640; ++gx) n += !(shot.game(gx, gy) == image.at(gx, gy));
    }
    return n;
}

// The share of a 64 x 48 grid of the picture that shows `image`.
double match_share(const Screenshot& shot, const Image& image)
{
    if (shot.width != SCREEN_W || image.pixels.empty()) return 0;
    int same = 0;
    for (int gy = 5; gy < 480; gy += 10) {
        for (int gx = 5; gx < 640; gx += 10) same += shot.game(gx, gy) == image.at(gx, gy);
    }
    return same / (64.0 * 48.0);
}

bool bars_black(const Screenshot& shot)
{
    const Color black{0, 0, 0};
    for (int y = 0; y < SCREEN_H; y += 7) {
        for (int x : {0, BOX_X / 2, BOX_X - 1, BOX_X + 640 * SCALE, SCREEN_W - 1}) {
            if (!(shot.at(x, y) == black)) return false;
        }
    }
    for (int x = BOX_X; x < BOX_X + 640 * SCALE; x += 7) {
        if (!(shot.at(x, BOX_Y - 1) == black) || !(shot.at(x, BOX_Y + 480 * SCALE) == black)) return false;
    }
    return true;
}

// The air left, in green at the top, shows only in play.
int status_line_green(const Screenshot& shot)
{
    int green = 0;
    for (int gy = 5; gy < 22; ++gy) {
        for (int gx = 50; gx < 250; ++gx) {
            const Color c = shot.game(gx, gy);
            green += c.g > 150 && c.r < 100 && c.b < 100;
        }
    }
    return green;
}

// Screenshots until `seen` holds or `limit` has passed; the last one kept.
template <typename Seen>
Screenshot wait_for_screen(const std::string& name, std::chrono::milliseconds limit, Seen seen)
{
    const auto end = Clock::now() + limit;
    Screenshot shot;
    do {
        shot = screenshot();
    } while (!seen(shot) && Clock::now() < end && (std::this_thread::sleep_for(50ms), true));
    return screenshot(name);
}

// The window's size, once it is the one asked for or five seconds have passed.
std::array<int, 2> wait_for_size(const std::string& window, int width, int height)
{
    const auto end = Clock::now() + 5s;
    std::array<int, 2> size{};
    do {
        std::istringstream in(run("xwininfo -id " + window + " 2>/dev/null"));
        for (std::string line; std::getline(in, line);) {
            if (line.find("  Width:") == 0) size[0] = std::atoi(line.c_str() + 8);
            if (line.find("  Height:") == 0) size[1] = std::atoi(line.c_str() + 9);
        }
    } while (size != std::array<int, 2>{width, height} && Clock::now() < end && (std::this_thread::sleep_for(50ms), true));
    return size;
}

class Desktop : public ::testing::Test {
protected:
    static inline std::unique_ptr<Program> xvfb, window_manager;
    static inline std::string setup_error;

    static void SetUpTestSuite()
    {
        fs::create_directories(shots_dir);
        for (const char* tool : {"Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "import"}) {
            if (run(std::string("command -v ") + tool).empty()) setup_error += std::string(tool) + " is not installed. ";
        }
        // Xvfb picks a free display and writes its number to the pipe.
        int fds[2];
        if (!setup_error.empty() || pipe(fds) != 0) return;
        xvfb = std::make_unique<Program>(std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen",
                                                                  "0", "1920x1080x24", "-nolisten", "tcp"});
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        for (char c; number.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1;) {
            number += c;
        }
        close(fds[0]);
        if (number.find('\n') == std::string::npos) {
            setup_error = "Xvfb did not start: " + xvfb->wait(0ms).err;
            return;
        }
        std::string display = ":";
        display.append(number, 0, number.find('\n'));
        setenv("DISPLAY", display.c_str(), 1);
        // Fullscreen on the desktop is the window manager's to grant.
        window_manager = std::make_unique<Program>(std::vector<std::string>{"openbox", "--sm-disable"});
        const auto end = Clock::now() + 10s;
        while (run("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").find("window id") == std::string::npos) {
            if (Clock::now() > end) setup_error = "openbox did not start: " + window_manager->wait(0ms).err;
            if (Clock::now() > end) return;
            std::this_thread::sleep_for(50ms);
        }
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

void key(const std::string& window, const char* keys, std::chrono::milliseconds held = 150ms)
{
    run("xdotool windowfocus --sync " + window + " keydown " + keys);
    std::this_thread::sleep_for(held);
    run("xdotool windowfocus --sync " + window + " keyup " + keys);
}

TEST_F(Desktop, PlayedAsAPersonWould)
{
    ASSERT_TRUE(setup_error.empty()) << setup_error;
    const Image splash = read_image("splash.bmp");
    const Image backdrop = read_image("backdrop.bmp");
    ASSERT_FALSE(splash.pixels.empty() || backdrop.pixels.empty()) << "the data files in " << data_dir;

    // Built with the sanitizers, the game would end 1 on what X's and D-Bus's
    // libraries keep until exit; leaks of the game's own code are the unit
    // tests' to find. Memory errors still end it at once.
    const auto launched = Clock::now();
    Program game({KESTRAVA_BINARY}, data_dir, {{"SDL_AUDIODRIVER", "dummy"}, {"LSAN_OPTIONS", "exitcode=0"}});
    std::string window = run("timeout 15 xdotool search --sync --onlyvisible --name '^Kestrava$' | head -n 1");
    ASSERT_FALSE(window.empty()) << "no window; " << game.wait(0ms).err;
    window.erase(window.find('\n'));

    // The splash, in its own colours, fills the letterbox.
    Screenshot shot = wait_for_screen("1-splash", 3s, [&](const Screenshot& s) { return match_share(s, splash) > 0.99; });
    EXPECT_GT(match_share(shot, splash), 0.99) << "see 1-splash.png";
    EXPECT_TRUE(bars_black(shot)) << "see 1-splash.png";

    // Then the intro after four seconds: the backdrop with the text rising.
    shot = wait_for_screen("2-intro", 15s, [&](const Screenshot& s) { return match_share(s, backdrop) > 0.5; });
    const auto intro = Clock::now();
    ASSERT_FALSE(game.wait(0ms).exited) << "the game ended: " << game.wait(0ms).err;
    EXPECT_GT(match_share(shot, backdrop), 0.5) << "see 2-intro.png";
    EXPECT_LT(match_share(shot, splash), 0.5) << "see 2-intro.png";
    EXPECT_TRUE(bars_black(shot)) << "see 2-intro.png";
    EXPECT_GE(intro - launched, 4000ms);
    const int text_before = changed_pixels(shot, backdrop, 300, 480);

    // Alt+Enter, the chord held a moment as fingers do: a 640 x 480 window,
    // then fullscreen again, still on the intro.
    key(window, "alt+Return");
    EXPECT_EQ(wait_for_size(window, 640, 480), (std::array<int, 2>{640, 480}));
    key(window, "alt+Return");
    EXPECT_EQ(wait_for_size(window, SCREEN_W, SCREEN_H), (std::array<int, 2>{SCREEN_W, SCREEN_H}));
    std::this_thread::sleep_until(std::max(Clock::now() + 300ms, intro + 2s));
    shot = screenshot("3-fullscreen-again");
    EXPECT_GT(match_share(shot, backdrop), 0.5) << "see 3-fullscreen-again.png";
    EXPECT_TRUE(bars_black(shot)) << "see 3-fullscreen-again.png";
    EXPECT_EQ(status_line_green(shot), 0) << "the chord's RETURN ended the intro; see 3-fullscreen-again.png";
    EXPECT_GT(changed_pixels(shot, backdrop, 300, 480), text_before + 1000) << "no text rising; see 3-fullscreen-again.png";

    // RETURN starts play: the air left, in green at the top.
    key(window, "Return", 250ms);
    shot = wait_for_screen("4-play", 2s, [](const Screenshot& s) { return status_line_green(s) > 100; });
    EXPECT_GT(status_line_green(shot), 100) << "no green status line; see 4-play.png";
    EXPECT_TRUE(bars_black(shot)) << "see 4-play.png";

    // openbox closes its windows on Alt+F4 with the close request: the game
    // ends cleanly within a second.
    run("xdotool windowfocus --sync " + window + " key alt+F4");
    const auto asked = Clock::now();
    const Ended end = game.wait(3000ms);
    EXPECT_TRUE(end.exited && end.status == 0) << end.status << " " << end.err;
    EXPECT_LT(Clock::now() - asked, 1000ms);
}

}  // namespace
