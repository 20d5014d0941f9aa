// The real game under a virtual X screen with a window manager, played once
// as a person would: the splash and the intro, Alt+Enter to a window and back
// (its RETURN never starting the game), RETURN, flying and firing, and the
// window manager's close. Screenshots are kept in the build folder for a
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

// The whole screen, and where the game's picture is on it and how large.
struct Screenshot {
    int width = 0, height = 0;
    std::string rgb;
    int box_x = BOX_X, box_y = BOX_Y, scale = SCALE;
    Color at(int x, int y) const
    {
        const auto* p = reinterpret_cast<const uint8_t*>(&rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]);
        return Color{p[0], p[1], p[2]};
    }
    Color game(int gx, int gy) const { return at(box_x + gx * scale, box_y + gy * scale); }
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

// An image of the data folder as the game shows it: 8-bit, `width` wide,
// through the splash's palette, the one palette the game shows everything in.
struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;  // top row first
    std::array<Color, 256> palette{};
    Color at(int x, int y) const { return palette[pixels[size_t(y * width + x)]]; }
};

// The cell at (x0, y0) of `file`, width x height.
Image read_image(const char* file, int x0, int y0, int width, int height)
{
    Image e;
    LoadedBitmap image{};
    LoadedBitmap colours{};
    if (bmp_read(image, (data_dir / file).c_str()) && bmp_read(colours, (data_dir / "splash.bmp").c_str())) {
        const int64_t stride = bmp_row_stride(image.info_header.biWidth, 8);
        if (image.info_header.biBitCount == 8 && x0 + width <= image.info_header.biWidth &&
            size_t((y0 + height) * stride) <= image.pixel_bytes) {
            e.width = width;
            e.height = height;
            for (int y = 0; y < height; ++y) {
                e.pixels.insert(e.pixels.end(), image.pixels + (y0 + y) * stride + x0,
                                image.pixels + (y0 + y) * stride + x0 + width);
            }
        }
        for (size_t i = 0; i < 256; ++i) {
            e.palette[i] = Color{colours.palette[i].peRed, colours.palette[i].peGreen, colours.palette[i].peBlue};
        }
    }
    bmp_release(image);
    bmp_release(colours);
    return e;
}

// A sprite sheet's cell (a 1-pixel grid between cells).
Image sprite(const char* sheet, int width, int height, int column, int row)
{
    return read_image(sheet, column * (width + 1) + 1, row * (height + 1) + 1, width, height);
}

// Where the picture shows the sprite: the first place from the top left where
// at least 80% of its opaque pixels are seen (a shot over the ship's nose
// hides a few); x -1 when nowhere.
std::pair<int, int> find_sprite(const Screenshot& shot, const Image& sprite)
{
    const int allowed = int(sprite.pixels.size() - size_t(std::count(sprite.pixels.begin(), sprite.pixels.end(), 0))) / 5;
    for (int y = 0; y + sprite.height <= 480; ++y) {
        for (int x = 0; x + sprite.width <= 640; ++x) {
            int misses = 0;
            for (int sy = 0; sy < sprite.height && misses <= allowed; ++sy) {
                for (int sx = 0; sx < sprite.width && misses <= allowed; ++sx) {
                    const uint8_t i = sprite.pixels[size_t(sy * sprite.width + sx)];
                    misses += i != 0 && !(shot.game(x + sx, y + sy) == sprite.palette[i]);
                }
            }
            if (misses <= allowed) return {x, y};
        }
    }
    return {-1, -1};
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

// Where the window's inside is on the screen, once it has the size asked for.
std::array<int, 4> wait_for_size(const std::string& window, int width, int height)
{
    const auto end = Clock::now() + 5s;
    std::array<int, 4> g{};  // x, y, width, height
    do {
        std::istringstream in(run("xwininfo -id " + window + " 2>/dev/null"));
        int i = 0;
        for (std::string line; std::getline(in, line);) {
            for (const char* label : {"Absolute upper-left X:", "Absolute upper-left Y:", "Width:", "Height:"}) {
                if (line.find(label) != std::string::npos) g[size_t(i++ % 4)] = std::atoi(line.c_str() + line.find(':') + 1);
            }
        }
    } while (!(g[2] == width && g[3] == height) && Clock::now() < end && (std::this_thread::sleep_for(50ms), true));
    return g;
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
    const Image splash = read_image("splash.bmp", 0, 0, 640, 480);
    const Image backdrop = read_image("backdrop.bmp", 0, 0, 640, 480);
    const Image ship = sprite("PlayerShip.bmp", 22, 18, 0, 0);
    const Image ship_thrusting = sprite("PlayerShip.bmp", 22, 18, 0, 1);
    ASSERT_TRUE(splash.width && backdrop.width && ship.width) << "the data files in " << data_dir;

    // Built with the sanitizers, the game would end 1 on what X's and D-Bus's
    // libraries keep until exit; leaks of the game's own code are the unit
    // tests' to find. Memory errors still end it at once.
    const auto launched = Clock::now();
    Program game({KESTRAVA_BINARY}, data_dir, {{"SDL_AUDIODRIVER", "dummy"}, {"LSAN_OPTIONS", "exitcode=0"}});
    std::string window = run("timeout 15 xdotool search --sync --onlyvisible --name '^Kestrava$' | head -n 1");
    ASSERT_FALSE(window.empty()) << "no window; " << game.wait(0ms).err;
    window.erase(window.find('\n'));

    // The splash, in its own colours, fills the letterbox.
    Screenshot shot = wait_for_screen("1-splash", 3000ms, [&](const Screenshot& s) { return match_share(s, splash) > 0.99; });
    EXPECT_GT(match_share(shot, splash), 0.99) << "see 1-splash.png";
    EXPECT_TRUE(bars_black(shot)) << "see 1-splash.png";

    // Then the intro after four seconds: the backdrop with the text rising.
    shot = wait_for_screen("2-intro", 15000ms, [&](const Screenshot& s) { return match_share(s, backdrop) > 0.5; });
    const auto intro = Clock::now();
    ASSERT_FALSE(game.wait(0ms).exited) << "the game ended: " << game.wait(0ms).err;
    EXPECT_GT(match_share(shot, backdrop), 0.5) << "see 2-intro.png";
    EXPECT_LT(match_share(shot, splash), 0.5) << "see 2-intro.png";
    EXPECT_TRUE(bars_black(shot)) << "see 2-intro.png";
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(intro - launched).count(), 4000);
    const int text_before = changed_pixels(shot, backdrop, 300, 480);

    // Alt+Enter, the chord held a moment as fingers do: a 640 x 480 window,
    // still on the intro. The window manager may still be placing and
    // decorating it: where its picture is is read at each look.
    key(window, "alt+Return");
    EXPECT_EQ(wait_for_size(window, 640, 480)[2], 640);
    const auto give_up = Clock::now() + 5s;
    do {
        std::this_thread::sleep_for(300ms);
        const std::array<int, 4> placed = wait_for_size(window, 640, 480);
        shot = screenshot("3-windowed");
        shot.box_x = placed[0];
        shot.box_y = placed[1];
        shot.scale = 1;
    } while (match_share(shot, backdrop) <= 0.5 && Clock::now() < give_up);
    EXPECT_GT(match_share(shot, backdrop), 0.5) << "see 3-windowed.png";
    EXPECT_EQ(status_line_green(shot), 0) << "the chord's RETURN ended the intro; see 3-windowed.png";

    key(window, "alt+Return");
    EXPECT_EQ(wait_for_size(window, SCREEN_W, SCREEN_H)[2], SCREEN_W);
    std::this_thread::sleep_until(std::max(Clock::now() + 300ms, intro + 2s));
    shot = screenshot("4-fullscreen-again");
    EXPECT_GT(match_share(shot, backdrop), 0.5) << "see 4-fullscreen-again.png";
    EXPECT_TRUE(bars_black(shot)) << "see 4-fullscreen-again.png";
    EXPECT_EQ(status_line_green(shot), 0) << "see 4-fullscreen-again.png";
    EXPECT_GT(changed_pixels(shot, backdrop, 300, 480), text_before + 1000) << "no text rising; see 4-fullscreen-again.png";

    // RETURN starts play: the ship at its place on the right, the air left in
    // green at the top.
    key(window, "Return", 250ms);
    shot = screenshot("5-play");
    const auto start = find_sprite(shot, ship);
    EXPECT_GT(start.first, 560) << "the ship starts at (600, 240); see 5-play.png";
    EXPECT_NEAR(start.second, 240, 30) << "the ship starts at (600, 240); see 5-play.png";

    // Hold UP and fire: the ship flies with its flame, its shots ahead of it.
    run("xdotool windowfocus --sync " + window + " keydown Up keydown space");
    bool ship_moved = false;
    bool shot_seen = false;
    for (int attempt = 0; attempt < 12 && !(ship_moved && shot_seen); ++attempt) {
        std::this_thread::sleep_for(100ms);
        shot = screenshot();
        auto now = find_sprite(shot, ship_thrusting);
        if (now.first < 0) now = find_sprite(shot, ship);
        ship_moved = ship_moved || (now.first >= 0 && now != start);
        for (int frame = 0; frame < 3; ++frame) shot_seen = shot_seen || find_sprite(shot, sprite("Projectile.bmp", 8, 8, frame, 0)).first >= 0;
    }
    run("xdotool keyup Up keyup space");
    screenshot("6-flying");
    EXPECT_TRUE(ship_moved) << "no ship flying; see 6-flying.png";
    EXPECT_TRUE(shot_seen) << "no shot; see 6-flying.png";
    EXPECT_GT(status_line_green(shot), 100) << "no green status line; see 6-flying.png";
    EXPECT_TRUE(bars_black(shot)) << "see 6-flying.png";

    // openbox closes its windows on Alt+F4 with the close request: the game
    // ends cleanly within a second.
    run("xdotool windowfocus --sync " + window + " key alt+F4");
    const auto asked = Clock::now();
    const Ended end = game.wait(3000ms);
    EXPECT_TRUE(end.exited && end.status == 0) << end.status << " " << end.err;
    EXPECT_LT(Clock::now() - asked, 1000ms);
}

}  // namespace
