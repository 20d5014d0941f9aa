// The real game under a virtual X screen with a window manager, driven as a
// person would: watch the splash and the intro, press RETURN, fly and fire,
// quit with ESC; and a start with a data file missing.
//
// Needs Xvfb, openbox, xdotool, xprop and xwininfo, and ImageMagick's import
// and convert.
// Screenshots are kept in the build folder for a person to look at.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "formats/bmp.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// The screen and where the 640 x 480 picture lands on it: twice its size,
// centred.
constexpr int SCREEN_W = 1920;
constexpr int SCREEN_H = 1080;
constexpr int SCALE = 2;
constexpr int BOX_X = (SCREEN_W - 640 * SCALE) / 2;
constexpr int BOX_Y = (SCREEN_H - 480 * SCALE) / 2;

const fs::path game_binary = KESTRAVA_BINARY;
const fs::path data_dir = KESTRAVA_DATA_DIR;
const fs::path shots_dir = KESTRAVA_E2E_OUT;

// --- processes --------------------------------------------------------------

struct Child {
    pid_t pid = -1;
};

// Starts argv[0] from PATH in `cwd`, its output into files; `keep_fd` stays
// open in the child.
Child spawn(const std::vector<std::string>& argv, const fs::path& cwd, const fs::path& out, const fs::path& err,
            int keep_fd = -1)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        const int in = open("/dev/null", O_RDONLY);
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || o < 0 || e < 0) _exit(126);
        dup2(in, 0);
        dup2(o, 1);
        dup2(e, 2);
        for (int fd = 3; fd < 1024; ++fd) {
            if (fd != keep_fd) close(fd);
        }
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return Child{pid};
}

// The exit status once the child has ended, or -1 if it is still running
// after `limit`.
int wait_exit(Child& child, std::chrono::milliseconds limit)
{
    const auto end = Clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(child.pid, &status, WNOHANG);
        if (r == child.pid) {
            child.pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (Clock::now() >= end) return -1;
        std::this_thread::sleep_for(5ms);
    }
}

void stop(Child& child)
{
    if (child.pid <= 0) return;
    kill(child.pid, SIGTERM);
    if (wait_exit(child, 3000ms) < 0) {
        kill(child.pid, SIGKILL);
        wait_exit(child, 3000ms);
    }
    child.pid = -1;
}

// Runs a command line to its end; its standard output.
std::string run(const std::string& command, int* status = nullptr)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int s = pclose(pipe);
    if (status) *status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    return output;
}

std::string read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool tool_missing(const char* name) { return run(std::string("command -v ") + name + " >/dev/null; echo $?") != "0\n"; }

// --- the picture on the screen ----------------------------------------------

struct Color {
    int r, g, b;
    bool operator==(const Color&) const = default;
};

struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    Color at(int x, int y) const
    {
        const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
        return Color{rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    // Where the game's picture is and how large: fullscreen by default.
    int box_x = BOX_X;
    int box_y = BOX_Y;
    int scale = SCALE;
    // The pixel of the game's picture at (gx, gy).
    Color game(int gx, int gy) const { return at(box_x + gx * scale, box_y + gy * scale); }
};

// Reads a binary PPM as import writes it.
Screenshot read_ppm(const fs::path& path)
{
    Screenshot shot;
    const std::string bytes = read_file(path);
    std::istringstream in(bytes);
    std::string magic;
    int maxval = 0;
    in >> magic >> shot.width >> shot.height >> maxval;
    if (magic != "P6" || maxval != 255 || shot.width <= 0 || shot.height <= 0) return Screenshot{};
    in.get();
    const size_t size = static_cast<size_t>(shot.width) * static_cast<size_t>(shot.height) * 3;
    const size_t start = static_cast<size_t>(in.tellg());
    if (bytes.size() < start + size) return Screenshot{};
    shot.rgb.assign(bytes.begin() + static_cast<ptrdiff_t>(start),
                    bytes.begin() + static_cast<ptrdiff_t>(start + size));
    return shot;
}

// The whole screen now, kept as <name>.png for a person to look at.
Screenshot screenshot(const std::string& name, bool keep = true)
{
    const fs::path ppm = shots_dir / (name + ".ppm");
    const fs::path png = shots_dir / (name + ".png");
    run("import -window root -depth 8 ppm:" + ppm.string() + " 2>/dev/null");
    Screenshot shot = read_ppm(ppm);
    if (keep) run("convert " + ppm.string() + " " + png.string() + " 2>/dev/null");
    fs::remove(ppm);
    return shot;
}

void write_png(const std::string& name, const Screenshot& shot)
{
    const fs::path ppm = shots_dir / (name + ".ppm");
    {
        std::ofstream out(ppm, std::ios::binary);
        out << "P6\n" << shot.width << " " << shot.height << "\n255\n";
        out.write(reinterpret_cast<const char*>(shot.rgb.data()), static_cast<std::streamsize>(shot.rgb.size()));
    }
    run("convert " + ppm.string() + " " + (shots_dir / (name + ".png")).string() + " 2>/dev/null");
    fs::remove(ppm);
}

// An image of the data folder as it should look: its pixels through the
// splash's palette, the one palette the game shows everything in.
struct Expected {
    std::vector<uint8_t> pixels;  // 640 x 480, top row first
    std::array<Color, 256> palette{};
    Color at(int gx, int gy) const { return palette[pixels[static_cast<size_t>(gy * 640 + gx)]]; }
};

Expected expected_image(const fs::path& file, const fs::path& palette_file)
{
    Expected e;
    LoadedBitmap image{};
    LoadedBitmap colours{};
    if (!bmp_read(image, file.c_str()) || !bmp_read(colours, palette_file.c_str())) {
        bmp_release(image);
        return e;
    }
    const int64_t stride = bmp_row_stride(image.info_header.biWidth, 8);
    if (image.info_header.biBitCount == 8 && image.info_header.biWidth >= 640 &&
        std::abs(image.info_header.biHeight) >= 480 && image.pixel_bytes >= static_cast<size_t>(stride * 480)) {
        e.pixels.resize(640 * 480);
        for (int y = 0; y < 480; ++y) {
            std::memcpy(&e.pixels[static_cast<size_t>(y * 640)], image.pixels + y * stride, 640);
        }
    }
    for (size_t i = 0; i < 256; ++i) {
        e.palette[i] = Color{colours.palette[i].peRed, colours.palette[i].peGreen, colours.palette[i].peBlue};
    }
    bmp_release(image);
    bmp_release(colours);
    return e;
}

// One cell of a sprite sheet of the data folder (1-pixel grid between cells).
struct Sprite {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // index 0 is transparent
};

Sprite sprite_cell(const fs::path& sheet_file, int width, int height, int column, int row)
{
    Sprite sprite;
    LoadedBitmap sheet{};
    if (!bmp_read(sheet, sheet_file.c_str())) return sprite;
    const int64_t stride = bmp_row_stride(sheet.info_header.biWidth, 8);
    const int x0 = column * (width + 1) + 1;
    const int y0 = row * (height + 1) + 1;
    if (sheet.info_header.biBitCount == 8 && x0 + width <= sheet.info_header.biWidth &&
        static_cast<size_t>((y0 + height) * stride) <= sheet.pixel_bytes) {
        sprite.width = width;
        sprite.height = height;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) sprite.pixels.push_back(sheet.pixels[(y0 + y) * stride + x0 + x]);
        }
    }
    bmp_release(sheet);
    return sprite;
}

struct Place {
    int x = -1;
    int y = -1;
    bool found() const { return x >= 0; }
};

// Where the picture shows the sprite through the game's palette: the first
// place from the top left where at least 80% of its opaque pixels are seen
// (a shot drawn over the ship's nose hides a few).
Place find_sprite(const Screenshot& shot, const Sprite& sprite, const Expected& colours)
{
    int opaque = 0;
    for (uint8_t i : sprite.pixels) opaque += i != 0;
    const int allowed_misses = opaque / 5;
    for (int y = 0; y + sprite.height <= 480; ++y) {
        for (int x = 0; x + sprite.width <= 640; ++x) {
            int misses = 0;
            for (int sy = 0; sy < sprite.height && misses <= allowed_misses; ++sy) {
                for (int sx = 0; sx < sprite.width && misses <= allowed_misses; ++sx) {
                    const uint8_t i = sprite.pixels[static_cast<size_t>(sy * sprite.width + sx)];
                    misses += i != 0 && !(shot.game(x + sx, y + sy) == colours.palette[i]);
                }
            }
            if (opaque > 0 && misses <= allowed_misses) return Place{x, y};
        }
    }
    return Place{};
}

// Pixels of the picture in the rectangle that are not the backdrop's.
int changed_pixels(const Screenshot& shot, const Expected& backdrop, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int gy = y0; gy < y1; ++gy) {
        for (int gx = x0; gx < x1; ++gx) n += !(shot.game(gx, gy) == backdrop.at(gx, gy));
    }
    return n;
}

// The share of a 64 x 48 grid of the picture that shows `image`.
double match_share(const Screenshot& shot, const Expected& image)
{
    int same = 0;
    int total = 0;
    for (int gy = 5; gy < 480; gy += 10) {
        for (int gx = 5; gx < 640; gx += 10) {
            same += shot.game(gx, gy) == image.at(gx, gy);
            ++total;
        }
    }
    return static_cast<double>(same) / total;
}

bool bars_black(const Screenshot& shot)
{
    for (int y = 0; y < SCREEN_H; y += 7) {
        for (int x : {0, BOX_X / 2, BOX_X - 1, BOX_X + 640 * SCALE, SCREEN_W - 1}) {
            if (!(shot.at(x, y) == Color{0, 0, 0})) return false;
        }
    }
    for (int x = BOX_X; x < BOX_X + 640 * SCALE; x += 7) {
        if (!(shot.at(x, BOX_Y - 1) == Color{0, 0, 0}) || !(shot.at(x, BOX_Y + 480 * SCALE) == Color{0, 0, 0})) {
            return false;
        }
    }
    return true;
}

long resident_kb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

// --- the X screen -----------------------------------------------------------

class Desktop : public ::testing::Test {
protected:
    static inline Child xvfb;
    static inline Child window_manager;
    static inline std::string setup_error;

    static void SetUpTestSuite()
    {
        fs::create_directories(shots_dir);
        for (const char* tool : {"Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "import", "convert"}) {
            if (tool_missing(tool)) {
                setup_error = std::string(tool) + " is not installed";
                return;
            }
        }
        // Xvfb picks a free display and writes its number to the pipe.
        int fds[2];
        if (pipe(fds) != 0) {
            setup_error = "pipe";
            return;
        }
        xvfb = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                      std::to_string(SCREEN_W) + "x" + std::to_string(SCREEN_H) + "x24", "-nolisten", "tcp"},
                     {}, shots_dir / "xvfb.out", shots_dir / "xvfb.err", fds[1]);
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (number.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0) {
            char c;
            if (read(fds[0], &c, 1) != 1) break;
            number += c;
        }
        close(fds[0]);
        if (number.find('\n') == std::string::npos) {
            setup_error = "Xvfb did not start: " + read_file(shots_dir / "xvfb.err");
            return;
        }
        number.pop_back();
        setenv("DISPLAY", (":" + number).c_str(), 1);

        // Fullscreen on the desktop is the window manager's to grant.
        window_manager = spawn({"openbox", "--sm-disable"}, {}, shots_dir / "openbox.out", shots_dir / "openbox.err");
        const auto end = Clock::now() + 10s;
        while (run("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").find("window id") == std::string::npos) {
            if (Clock::now() > end) {
                setup_error = "openbox did not start: " + read_file(shots_dir / "openbox.err");
                return;
            }
            std::this_thread::sleep_for(50ms);
        }
    }

    static void TearDownTestSuite()
    {
        stop(window_manager);
        stop(xvfb);
    }

    void SetUp() override
    {
        ASSERT_TRUE(setup_error.empty()) << setup_error;
        ASSERT_TRUE(fs::exists(game_binary)) << game_binary;
    }

    // Starts the game in `folder`, with no sound device to need.
    static Child start_game(const fs::path& folder, const std::string& name)
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        // Built with the sanitizers, the game would end 1 on what X's and
        // D-Bus's libraries keep until exit; leaks of the game's own code are
        // the unit tests' to find. Memory errors still end it at once.
        setenv("LSAN_OPTIONS", "exitcode=0", 1);
        return spawn({game_binary.string()}, folder, shots_dir / (name + ".out"), shots_dir / (name + ".err"));
    }

    // The game's window once it is mapped, or an empty string.
    static std::string find_window()
    {
        const std::string id = run("timeout 15 xdotool search --sync --onlyvisible --name '^Kestrava$' | head -n 1");
        return id.empty() ? id : id.substr(0, id.find('\n'));
    }

    static void key(const std::string& window, const char* action, const char* keys)
    {
        run("xdotool windowfocus --sync " + window + " " + action + " " + keys);
    }
};

struct Geometry {
    int x = -1, y = -1, width = 0, height = 0;
};

// Where the window's inside is on the screen.
Geometry window_geometry(const std::string& window)
{
    Geometry g;
    std::istringstream in(run("xwininfo -id " + window + " 2>/dev/null"));
    std::string line;
    auto value = [&](const char* label, int& into) {
        const size_t at = line.find(label);
        if (at != std::string::npos) into = std::atoi(line.c_str() + at + std::strlen(label));
    };
    while (std::getline(in, line)) {
        value("Absolute upper-left X:", g.x);
        value("Absolute upper-left Y:", g.y);
        value("Width:", g.width);
        value("Height:", g.height);
    }
    return g;
}

Geometry wait_for_size(const std::string& window, int width, int height)
{
    const auto end = Clock::now() + 5s;
    Geometry g;
    do {
        g = window_geometry(window);
        if (g.width == width && g.height == height) break;
        std::this_thread::sleep_for(50ms);
    } while (Clock::now() < end);
    return g;
}

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

// Polls screenshots until `seen` holds or `limit` has passed.
template <typename Seen>
Screenshot wait_for_screen(const std::string& name, std::chrono::milliseconds limit, Seen seen)
{
    const auto end = Clock::now() + limit;
    Screenshot shot;
    do {
        shot = screenshot(name, false);
        if (shot.width == SCREEN_W && seen(shot)) break;
        std::this_thread::sleep_for(50ms);
    } while (Clock::now() < end);
    write_png(name, shot);
    return shot;
}

TEST_F(Desktop, PlayedAsAPersonWould)
{
    const Expected splash = expected_image(data_dir / "splash.bmp", data_dir / "splash.bmp");
    const Expected backdrop = expected_image(data_dir / "backdrop.bmp", data_dir / "splash.bmp");
    ASSERT_FALSE(splash.pixels.empty()) << "splash.bmp in " << data_dir;
    ASSERT_FALSE(backdrop.pixels.empty()) << "backdrop.bmp in " << data_dir;

    const auto launched = Clock::now();
    Child game = start_game(data_dir, "play");
    const std::string window = find_window();
    ASSERT_FALSE(window.empty()) << "no window; stderr: " << read_file(shots_dir / "play.err");

    // The splash, in its own colours, fills the letterbox.
    Screenshot shot = wait_for_screen("1-splash", 3000ms, [&](const Screenshot& s) {
        return match_share(s, splash) > 0.99;
    });
    EXPECT_EQ(shot.width, SCREEN_W);
    EXPECT_GT(match_share(shot, splash), 0.99) << "see 1-splash.png";
    EXPECT_TRUE(bars_black(shot)) << "see 1-splash.png";

    // Then the intro: the backdrop with the text rising over it.
    shot = wait_for_screen("2-intro", 15000ms, [&](const Screenshot& s) { return match_share(s, backdrop) > 0.5; });
    const auto first_frame = Clock::now();
    ASSERT_EQ(wait_exit(game, 0ms), -1) << "the game ended; stderr: " << read_file(shots_dir / "play.err");
    EXPECT_GT(match_share(shot, backdrop), 0.5) << "see 2-intro.png";
    EXPECT_LT(match_share(shot, splash), 0.5) << "see 2-intro.png";
    EXPECT_TRUE(bars_black(shot)) << "see 2-intro.png";
    const auto since_launch = std::chrono::duration_cast<std::chrono::milliseconds>(first_frame - launched);
    std::printf("start-up to the first frame after the splash: %lld ms (as seen by screenshots)\n",
                static_cast<long long>(since_launch.count()));
    EXPECT_GE(since_launch.count(), 4000) << "the splash shows for four seconds";

    // The intro text rises from the bottom, a line a frame.
    const int text_before = changed_pixels(shot, backdrop, 0, 300, 640, 480);
    std::this_thread::sleep_for(2000ms);
    shot = screenshot("2-intro-rising");
    EXPECT_GT(changed_pixels(shot, backdrop, 0, 300, 640, 480), text_before + 1000) << "see 2-intro-rising.png";

    // RETURN starts play: the ship at its place on the right, the air left in
    // green at the top.
    const fs::path ship_sheet = data_dir / "PlayerShip.bmp";
    const Sprite ship = sprite_cell(ship_sheet, 22, 18, 0, 0);
    const Sprite ship_thrusting = sprite_cell(ship_sheet, 22, 18, 0, 1);
    const Sprite shot_sprite = sprite_cell(data_dir / "Projectile.bmp", 8, 8, 0, 0);
    ASSERT_GT(ship.width, 0) << ship_sheet;
    ASSERT_GT(shot_sprite.width, 0);
    key(window, "keydown", "Return");
    std::this_thread::sleep_for(250ms);
    key(window, "keyup", "Return");
    shot = screenshot("3-play");
    const Place start = find_sprite(shot, ship, splash);
    EXPECT_TRUE(start.found()) << "no ship; see 3-play.png";
    EXPECT_GT(start.x, 560) << "the ship starts at (600, 240)";
    EXPECT_NEAR(start.y, 240, 30) << "the ship starts at (600, 240)";

    // Hold UP and fire: the ship flies with its flame, its shots ahead of it.
    // Screenshots are taken while the keys are held until both are seen.
    std::vector<Sprite> shot_frames;
    for (int frame = 0; frame < 3; ++frame) {
        shot_frames.push_back(sprite_cell(data_dir / "Projectile.bmp", 8, 8, frame, 0));
    }
    key(window, "keydown", "Up space");
    bool ship_moved = false;
    bool shot_seen = false;
    long rss_kb = -1;
    for (int attempt = 0; attempt < 12 && !(ship_moved && shot_seen); ++attempt) {
        std::this_thread::sleep_for(100ms);
        shot = screenshot("4-flying", false);
        rss_kb = resident_kb(game.pid);
        Place now = find_sprite(shot, ship_thrusting, splash);
        if (!now.found()) now = find_sprite(shot, ship, splash);
        ship_moved = ship_moved || (now.found() && !(now.x == start.x && now.y == start.y));
        for (const Sprite& frame : shot_frames) shot_seen = shot_seen || find_sprite(shot, frame, splash).found();
    }
    key(window, "keyup", "Up space");
    write_png("4-flying", shot);
    EXPECT_TRUE(ship_moved) << "no ship flying; see 4-flying.png";
    EXPECT_TRUE(shot_seen) << "no shot; see 4-flying.png";
    EXPECT_GT(status_line_green(shot), 100) << "no green status line; see 4-flying.png";
    EXPECT_TRUE(bars_black(shot)) << "see 4-flying.png";
    std::printf("resident memory in play: %ld kB\n", rss_kb);

    // ESC ends the game cleanly within a second.
    key(window, "keydown", "Escape");
    const auto pressed = Clock::now();
    const int status = wait_exit(game, 3000ms);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - pressed);
    run("xdotool keyup Escape");
    EXPECT_EQ(status, 0) << "stderr: " << read_file(shots_dir / "play.err");
    EXPECT_LT(took.count(), 1000);
    std::printf("ESC to exit: %lld ms\n", static_cast<long long>(took.count()));
    stop(game);
}

// Alt+Enter gives a 640 x 480 window and back, and leaves the game where it
// was; the window manager's close ends the game as ESC does.
TEST_F(Desktop, WindowToggleAndTheWindowManagersClose)
{
    const Expected backdrop = expected_image(data_dir / "backdrop.bmp", data_dir / "splash.bmp");
    ASSERT_FALSE(backdrop.pixels.empty());
    Child game = start_game(data_dir, "toggle");
    const std::string window = find_window();
    ASSERT_FALSE(window.empty()) << "no window; stderr: " << read_file(shots_dir / "toggle.err");
    Screenshot shot =
        wait_for_screen("5-intro", 15000ms, [&](const Screenshot& s) { return match_share(s, backdrop) > 0.5; });
    ASSERT_GT(match_share(shot, backdrop), 0.5) << "no intro; see 5-intro.png";

    // The chord held a moment, as fingers do.
    key(window, "keydown", "alt+Return");
    std::this_thread::sleep_for(150ms);
    key(window, "keyup", "alt+Return");
    const Geometry windowed = wait_for_size(window, 640, 480);
    ASSERT_EQ(windowed.width, 640);
    ASSERT_EQ(windowed.height, 480);
    // The window manager may still be placing and decorating the window:
    // read where its picture is at each look, until the picture is seen.
    double share = 0;
    const auto give_up = Clock::now() + 5s;
    do {
        std::this_thread::sleep_for(300ms);
        const Geometry placed = window_geometry(window);
        shot = screenshot("6-windowed");
        shot.box_x = placed.x;
        shot.box_y = placed.y;
        shot.scale = 1;
        share = match_share(shot, backdrop);
    } while (share <= 0.5 && Clock::now() < give_up);
    EXPECT_GT(share, 0.5) << "see 6-windowed.png";
    EXPECT_EQ(status_line_green(shot), 0) << "the chord's RETURN ended the intro; see 6-windowed.png";

    key(window, "keydown", "alt+Return");
    std::this_thread::sleep_for(150ms);
    key(window, "keyup", "alt+Return");
    const Geometry full = wait_for_size(window, SCREEN_W, SCREEN_H);
    EXPECT_EQ(full.width, SCREEN_W);
    EXPECT_EQ(full.height, SCREEN_H);
    std::this_thread::sleep_for(300ms);
    shot = screenshot("7-fullscreen-again");
    EXPECT_GT(match_share(shot, backdrop), 0.5) << "see 7-fullscreen-again.png";
    EXPECT_TRUE(bars_black(shot)) << "see 7-fullscreen-again.png";
    EXPECT_EQ(status_line_green(shot), 0) << "see 7-fullscreen-again.png";

    // openbox closes its windows on Alt+F4 with the close request.
    run("xdotool windowfocus --sync " + window + " key alt+F4");
    const auto asked = Clock::now();
    const int status = wait_exit(game, 3000ms);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked);
    EXPECT_EQ(status, 0) << "stderr: " << read_file(shots_dir / "toggle.err");
    EXPECT_LT(took.count(), 1000);
    stop(game);
}

TEST_F(Desktop, MissingDataFileEndsWithItsName)
{
    const fs::path folder = shots_dir / "missing-star";
    fs::remove_all(folder);
    fs::copy(data_dir, folder, fs::copy_options::recursive);
    ASSERT_TRUE(fs::remove(folder / "star.bmp"));

    Child game = start_game(folder, "missing-star");
    const int status = wait_exit(game, 20000ms);
    stop(game);
    const std::string err = read_file(shots_dir / "missing-star.err");
    EXPECT_EQ(status, 1) << err;
    EXPECT_NE(err.find("kestrava: ./star.bmp"), std::string::npos) << err;
    fs::remove_all(folder);
}

}  // namespace
