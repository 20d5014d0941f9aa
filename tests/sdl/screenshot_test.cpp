// Screenshots: the PNG writer read back through libpng, the pictures folder
// as user-dirs.dirs and the environment name it, names that never replace an
// earlier picture, and F12 on the player's edge saving what is on screen.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "../support/png_read.h"
#include "platform/platform.h"
#include "platform/sdl_edge.h"
#include "formats/png.h"
#include "base/report.h"
#include "shell/screenshot.h"

namespace fs = std::filesystem;

namespace {

Palette test_palette(int shift)
{
    Palette p{};
    for (int i = 0; i < 256; ++i) {
        p[static_cast<size_t>(i)] = Colour{static_cast<uint8_t>(i + shift), static_cast<uint8_t>(255 - i),
                                        static_cast<uint8_t>(i * 5 + shift)};
    }
    return p;
}

// 640 x 480 of indices that say where they are, rows `pitch` bytes apart.
std::vector<uint8_t> test_picture(int pitch, int seed)
{
    std::vector<uint8_t> picture(static_cast<size_t>(pitch) * 480, 0xEE);
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) picture[static_cast<size_t>(y * pitch + x)] = static_cast<uint8_t>(x * 3 + y + seed);
    }
    return picture;
}

void expect_picture(const PngFile& png, const std::vector<uint8_t>& picture, int pitch,
                    const Palette& palette)
{
    ASSERT_EQ(png.width, 640);
    ASSERT_EQ(png.height, 480);
    EXPECT_EQ(png.colour_type, PNG_COLOR_TYPE_PALETTE);
    EXPECT_EQ(png.bit_depth, 8);
    ASSERT_EQ(png.palette.size(), 256u);
    for (size_t i = 0; i < 256; ++i) {
        EXPECT_TRUE(png.palette[i].r == palette[i].r && png.palette[i].g == palette[i].g &&
                    png.palette[i].b == palette[i].b)
            << "colour " << i;
    }
    int wrong = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            wrong += png.rows[static_cast<size_t>(y * 640 + x)] != picture[static_cast<size_t>(y * pitch + x)];
        }
    }
    EXPECT_EQ(wrong, 0) << "pixels differ";
}

std::string temp_folder()
{
    char templ[] = "/tmp/kestrava-shot-XXXXXX";
    const char* dir = mkdtemp(templ);
    return dir ? dir : "";
}

std::vector<std::string> files_in(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// --- the writer -------------------------------------------------------------

TEST(PngWriter, AnIndexedPictureReadsBackWithItsPalette)
{
    const std::string dir = temp_folder();
    const int pitch = 656;  // a surface's rows may be longer than the picture
    const std::vector<uint8_t> picture = test_picture(pitch, 0);
    const Palette palette = test_palette(0);
    ASSERT_EQ(png_write_indexed((dir + "/p.png").c_str(), 640, 480, picture.data(), pitch, palette), 1);
    PngFile png;
    ASSERT_TRUE(read_png(dir + "/p.png", png));
    expect_picture(png, picture, pitch, palette);
    fs::remove_all(dir);
}

TEST(PngWriter, RgbAndRgbaReadBack)
{
    const std::string dir = temp_folder();
    const std::vector<uint8_t> rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 8, 7, 1, 2, 3, 4, 5, 6};  // 3 x 2
    ASSERT_EQ(png_write_rgb((dir + "/rgb.png").c_str(), 3, 2, rgb.data()), 1);
    PngFile png;
    ASSERT_TRUE(read_png(dir + "/rgb.png", png));
    EXPECT_EQ(png.colour_type, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(png.width, 3);
    EXPECT_EQ(png.rows, rgb);

    const std::vector<uint8_t> rgba = {10, 20, 30, 0, 40, 50, 60, 128, 70, 80, 90, 255, 1, 1, 1, 1};  // 2 x 2
    ASSERT_EQ(png_write_rgba((dir + "/rgba.png").c_str(), 2, 2, rgba.data()), 1);
    PngFile alpha;
    ASSERT_TRUE(read_png(dir + "/rgba.png", alpha));
    EXPECT_EQ(alpha.colour_type, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(alpha.rows, rgba);
    fs::remove_all(dir);
}

TEST(PngWriter, FailuresLeaveNoFileBehind)
{
    const std::string dir = temp_folder();
    const std::vector<uint8_t> rgb(12, 0);
    EXPECT_EQ(png_write_rgb((dir + "/no-such-folder/x.png").c_str(), 2, 2, rgb.data()), 0);
    EXPECT_EQ(png_write_rgb((dir + "/empty.png").c_str(), 0, 2, rgb.data()), 0);
    EXPECT_FALSE(fs::exists(dir + "/empty.png")) << "a half-written file stays";
    // A full disk.
    const Palette palette = test_palette(0);
    const std::vector<uint8_t> picture = test_picture(640, 0);
    std::FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(png_write_indexed(full, 640, 480, picture.data(), 640, palette), 0);
    std::fclose(full);
    EXPECT_TRUE(files_in(dir).empty());
    // Named by its path, a device that fails the write is left in its place:
    // only a plain file half-written is removed.
    const std::string device = dir + "/full";
    if (mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 7)) == 0) {
        EXPECT_EQ(png_write_indexed(device.c_str(), 640, 480, picture.data(), 640, palette), 0);
        struct stat st{};
        EXPECT_TRUE(stat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) << "the device was removed";
    }
    fs::remove_all(dir);
}

// --- the pictures folder ----------------------------------------------------

TEST(PicturesFolder, UserDirsFileForms)
{
    const std::string home = "/home/pilot";
    struct Case {
        std::string text, want;
    };
    const std::vector<Case> cases = {
        {"XDG_PICTURES_DIR=\"$HOME/Pictures\"\n", "/home/pilot/Pictures"},
        {"# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
         "XDG_PICTURES_DIR=\"$HOME/Bilder\"\nXDG_MUSIC_DIR=\"$HOME/Musik\"\n",
         "/home/pilot/Bilder"},
        {"XDG_PICTURES_DIR=\"/srv/shots/\"\n", "/srv/shots"},
        {"  XDG_PICTURES_DIR=\"$HOME/My \\\"Shots\\\"\"", "/home/pilot/My \"Shots\""},  // no newline at the end
        {"XDG_PICTURES_DIR=\"$HOME/\"\n", "/home/pilot"},  // "disabled": home itself
        {"XDG_PICTURES_DIR=\"$HOME/a\"\nXDG_PICTURES_DIR=\"$HOME/b\"\n", "/home/pilot/b"},  // the last wins
        {"#XDG_PICTURES_DIR=\"$HOME/Pictures\"\n", ""},
        {"XDG_PICTURES_DIR=\"Pictures\"\n", ""},          // relative: not allowed
        {"XDG_PICTURES_DIR=\"$HOMEWORK/x\"\n", ""},       // not $HOME
        {"XDG_PICTURES_DIR=$HOME/Pictures\n", ""},        // unquoted
        {"XDG_PICTURES_DIR=\"$HOME/Pictures\n", ""},      // unclosed
        {"XDG_PICTURES_DIRS=\"$HOME/Pictures\"\n", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(user_dirs_pictures(c.text, home), c.want) << c.text;
    EXPECT_EQ(user_dirs_pictures("XDG_PICTURES_DIR=\"$HOME/Pictures\"\n", ""), "") << "no home to put it in";
}

// Sets environment variables for one test and puts them back after it.
class Environment : public ::testing::Test {
protected:
    void set(const char* name, const std::string& value)
    {
        remember(name);
        setenv(name, value.c_str(), 1);
    }
    void unset(const char* name)
    {
        remember(name);
        unsetenv(name);
    }
    void TearDown() override
    {
        for (const auto& [name, value, had] : saved) {
            if (had) {
                setenv(name.c_str(), value.c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
        if (!dir.empty()) fs::remove_all(dir);
    }

    std::string dir = temp_folder();

private:
    void remember(const char* name)
    {
        for (const auto& s : saved) {
            if (std::get<0>(s) == name) return;
        }
        const char* v = std::getenv(name);
        saved.emplace_back(name, v ? v : "", v != nullptr);
    }
    std::vector<std::tuple<std::string, std::string, bool>> saved;
};

TEST_F(Environment, TheFirstFolderThatIsThereIsUsed)
{
    const std::string home = dir + "/home";
    fs::create_directories(home + "/.config");
    fs::create_directories(dir + "/elsewhere");
    set("HOME", home);
    unset("XDG_CONFIG_HOME");
    unset("XDG_PICTURES_DIR");
    EXPECT_EQ(screenshot_folder(), home) << "nothing named: home";

    std::ofstream(home + "/.config/user-dirs.dirs") << "XDG_PICTURES_DIR=\"$HOME/Pictures\"\n";
    EXPECT_EQ(screenshot_folder(), home) << "named but not there: home";
    set("XDG_PICTURES_DIR", dir + "/elsewhere");
    EXPECT_EQ(screenshot_folder(), dir + "/elsewhere") << "the environment, when the file's folder is missing";
    fs::create_directories(home + "/Pictures");
    EXPECT_EQ(screenshot_folder(), home + "/Pictures") << "the file's folder comes first";

    // XDG_CONFIG_HOME moves the file.
    fs::create_directories(dir + "/config");
    fs::create_directories(dir + "/shots");
    std::ofstream(dir + "/config/user-dirs.dirs") << "XDG_PICTURES_DIR=\"" + dir + "/shots\"\n";
    set("XDG_CONFIG_HOME", dir + "/config");
    EXPECT_EQ(screenshot_folder(), dir + "/shots");

    unset("XDG_CONFIG_HOME");
    unset("XDG_PICTURES_DIR");
    set("HOME", dir + "/no-such-home");
    EXPECT_EQ(screenshot_folder(), "");
}

TEST(ScreenshotName, DateAndTimeThenASerial)
{
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 7;
    t.tm_min = 8;
    t.tm_sec = 9;
    EXPECT_EQ(screenshot_name(t, 1), "kestrava-20240305-070809.png");
    EXPECT_EQ(screenshot_name(t, 2), "kestrava-20240305-070809-2.png");
    t.tm_hour = 23;
    t.tm_min = 59;
    t.tm_sec = 58;
    EXPECT_EQ(screenshot_name(t, 12), "kestrava-20240305-235958-12.png");
}

TEST_F(Environment, TwoShotsInOneSecondKeepBoth)
{
    std::tm t{};
    t.tm_year = 124;
    t.tm_mday = 1;
    const Palette palette_a = test_palette(0);
    const Palette palette_b = test_palette(7);
    Palette colours_a{};
    Palette colours_b{};
    for (size_t i = 0; i < 256; ++i) {
        colours_a[i] = Colour{palette_a[i].r, palette_a[i].g, palette_a[i].b, 0};
        colours_b[i] = Colour{palette_b[i].r, palette_b[i].g, palette_b[i].b, 0};
    }
    const std::vector<uint8_t> a = test_picture(640, 0);
    const std::vector<uint8_t> b = test_picture(640, 99);
    std::string first;
    std::string second;
    ASSERT_EQ(screenshot_save_in(dir, t, PlatformPicture{a.data(), 640, 640, 480, colours_a.data()}, first), 1) << first;
    ASSERT_EQ(screenshot_save_in(dir + "/", t, PlatformPicture{b.data(), 640, 640, 480, colours_b.data()}, second), 1) << second;
    EXPECT_EQ(first, dir + "/kestrava-20240101-000000.png");
    EXPECT_EQ(second, dir + "/kestrava-20240101-000000-2.png");
    PngFile png;
    ASSERT_TRUE(read_png(first, png));
    expect_picture(png, a, 640, palette_a);
    PngFile png2;
    ASSERT_TRUE(read_png(second, png2));
    expect_picture(png2, b, 640, palette_b);

    std::string why;
    EXPECT_EQ(screenshot_save_in(dir + "/gone", t, PlatformPicture{a.data(), 640, 640, 480, colours_a.data()}, why), 0);
    EXPECT_NE(why.find(dir + "/gone/kestrava-20240101-000000.png"), std::string::npos) << why;
    EXPECT_EQ(screenshot_save_in("", t, PlatformPicture{a.data(), 640, 640, 480, colours_a.data()}, why), 0);
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(files_in(dir).size(), 2u);
}

// --- F12 on the player's edge -----------------------------------------------

class F12 : public Environment {
protected:
    void SetUp() override
    {
        set("HOME", dir);
        unset("XDG_CONFIG_HOME");
        unset("XDG_PICTURES_DIR");
        report_clear();
        ASSERT_EQ(platform_window_open("Kestrava", 640, 480), 1) << report_text();
        while (platform_poll_event() != PLATFORM_EVENT_NONE) {
        }
    }
    void TearDown() override
    {
        platform_window_close();
        Environment::TearDown();
    }

    static void push_f12(Uint8 repeat)
    {
        SDL_Event key{};
        key.type = SDL_KEYDOWN;
        key.key.state = SDL_PRESSED;
        key.key.repeat = repeat;
        key.key.keysym.scancode = SDL_SCANCODE_F12;
        key.key.keysym.sym = SDLK_F12;
        key.key.windowID = SDL_GetWindowID(sdl_edge_window());
        SDL_PushEvent(&key);
    }
    // Takes every waiting event as the loop would; what was printed.
    static std::string poll_all(std::string* err = nullptr)
    {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        for (int empty = 0; empty < 2;) {
            const PlatformEvent e = platform_poll_event();
            EXPECT_NE(e, PLATFORM_EVENT_QUIT);
            if (e == PLATFORM_EVENT_SCREENSHOT) screenshot_take(platform_picture());
            empty = e == PLATFORM_EVENT_NONE ? empty + 1 : 0;
        }
        const std::string e = testing::internal::GetCapturedStderr();
        if (err) *err = e;
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(F12, SavesThePictureOnScreenAndPrintsWhere)
{
    const Palette palette = test_palette(3);
    Palette colours{};
    for (size_t i = 0; i < 256; ++i) colours[i] = Colour{palette[i].r, palette[i].g, palette[i].b, 0};
    const int pitch = 672;
    std::vector<uint8_t> picture = test_picture(pitch, 5);

    push_f12(0);
    EXPECT_EQ(poll_all(), "") << "nothing on screen yet: nothing to save";
    EXPECT_TRUE(files_in(dir).empty());

    platform_present(picture.data(), pitch, 640, 480, colours.data());
    const std::vector<uint8_t> shown = picture;
    // The game draws its next frame in the same memory before F12 is read.
    std::fill(picture.begin(), picture.end(), 0);
    push_f12(0);
    push_f12(1);  // the key held down repeats: one picture only
    std::string err;
    const std::string out = poll_all(&err);
    EXPECT_EQ(err, "");
    const std::vector<std::string> names = files_in(dir);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(out, dir + "/" + names[0] + "\n");
    EXPECT_EQ(names[0].rfind("kestrava-", 0), 0u);
    EXPECT_EQ(names[0].size(), std::string("kestrava-YYYYMMDD-HHMMSS.png").size());
    PngFile png;
    ASSERT_TRUE(read_png(dir + "/" + names[0], png));
    expect_picture(png, shown, pitch, palette);
}

TEST_F(F12, AFailedSaveIsOneLineAndTheGameGoesOn)
{
    Palette colours{};
    const std::vector<uint8_t> picture = test_picture(640, 0);
    platform_present(picture.data(), 640, 640, 480, colours.data());
    set("HOME", dir + "/no-such-home");
    push_f12(0);
    platform_window_destroy();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ASSERT_EQ(platform_poll_event(), PLATFORM_EVENT_SCREENSHOT);
    screenshot_take(platform_picture());
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(err.rfind("kestrava: screenshot not saved: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(platform_poll_event(), PLATFORM_EVENT_QUIT) << "the quit still comes";
}

}  // namespace
