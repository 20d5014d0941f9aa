// Screenshots: the PNG writer read back through libpng, the pictures folder
// as user-dirs.dirs and the environment name it, names that never replace an
// earlier picture, and F12 on the player's edge saving what is on screen.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <gtest/gtest.h>

#include "../support/env.h"
#include "../support/png_read.h"
#include "../support/sdl_events.h"
#include "../support/temp_dir.h"
#include "base/report.h"
#include "formats/png.h"
#include "shell/screenshot.h"

namespace {

void expect_picture(const std::string& path, const std::vector<uint8_t>& picture, int pitch, const Palette& palette)
{
    PngFile png;
    ASSERT_TRUE(read_png(path, png) && png.width == 640 && png.height == 480) << path;
    EXPECT_TRUE(png.colour_type == PNG_COLOR_TYPE_PALETTE && png.bit_depth == 8) << path;
    int wrong = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const Colour& c = palette[picture[size_t(y * pitch + x)]];
            wrong += !png.shows(size_t(y * 640 + x), c.r, c.g, c.b);
        }
    EXPECT_EQ(wrong, 0) << "colours or pixels differ in " << path;
}

long files_in(const fs::path& folder) { return std::distance(fs::directory_iterator(folder), {}); }
void home_only(ScopedEnv& e, const std::string& h) { e.set("HOME", h), e.unset("XDG_CONFIG_HOME"), e.unset("XDG_PICTURES_DIR"); }

// RGB and RGBA are what the generator's previews and icons are written as.
TEST(PngWriter, RgbAndRgbaReadBackAndFailuresLeaveNoFileBehind)
{
    TempDir dir;
    const std::vector<uint8_t> rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 8, 7, 1, 2, 3, 4, 5, 6};  // 3 x 2
    const std::vector<uint8_t> rgba = {10, 20, 30, 0, 40, 50, 60, 128, 70, 80, 90, 255, 1, 1, 1, 1};  // 2 x 2
    PngFile png, alpha;
    ASSERT_EQ(png_write_rgb(dir.file("rgb.png").c_str(), 3, 2, rgb.data()), 1);
    ASSERT_EQ(png_write_rgba(dir.file("rgba.png").c_str(), 2, 2, rgba.data()), 1);
    ASSERT_TRUE(read_png(dir.file("rgb.png"), png) && read_png(dir.file("rgba.png"), alpha));
    EXPECT_TRUE(png.colour_type == PNG_COLOR_TYPE_RGB && png.width == 3 && alpha.colour_type == PNG_COLOR_TYPE_RGB_ALPHA);
    for (size_t i = 0; i < 6; ++i) EXPECT_TRUE(png.shows(i, rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2])) << i;
    EXPECT_EQ(alpha.rgba, rgba);
    EXPECT_EQ(png_write_rgb(dir.file("no-such-folder/x.png").c_str(), 2, 2, rgb.data()), 0);
    EXPECT_EQ(png_write_rgb(dir.file("empty.png").c_str(), 0, 2, rgb.data()), 0);
    const Palette palette = test_palette(0);
    const std::vector<uint8_t> picture = test_picture(640, 0);
    EXPECT_EQ(files_in(dir.dir), 2) << "a half-written file stays";
    // A device named by its path that fails the write stays in its place.
    if (mknod(dir.file("full").c_str(), S_IFCHR | 0600, makedev(1, 7)) == 0) {
        EXPECT_EQ(png_write_indexed(dir.file("full").c_str(), 640, 480, picture.data(), 640, palette), 0);
        struct stat st{};
        EXPECT_TRUE(stat(dir.file("full").c_str(), &st) == 0 && S_ISCHR(st.st_mode)) << "the device was removed";
    }
}

TEST(PicturesFolder, UserDirsFileFormsAndTheFirstFolderThatIsThere)
{
    const std::pair<std::string, std::string> cases[] = {
        {"XDG_PICTURES_DIR=\"$HOME/Pictures\"\n", "/home/pilot/Pictures"},
        {"# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
         "XDG_PICTURES_DIR=\"$HOME/Bilder\"\nXDG_MUSIC_DIR=\"$HOME/Musik\"\n",
         "/home/pilot/Bilder"},
        {"XDG_PICTURES_DIR=\"/srv/shots/\"\n", "/srv/shots"},
        {"  XDG_PICTURES_DIR=\"$HOME/My \\\"Shots\\\"\"", "/home/pilot/My \"Shots\""},  // no newline at the end
        {"XDG_PICTURES_DIR=\"$HOME/\"\n", "/home/pilot"},                                // "disabled": home itself
        {"XDG_PICTURES_DIR=\"$HOME/a\"\nXDG_PICTURES_DIR=\"$HOME/b\"\n", "/home/pilot/b"},  // the last wins
        {"#XDG_PICTURES_DIR=\"$HOME/Pictures\"\n", ""}, {"XDG_PICTURES_DIR=\"Pictures\"\n", ""},  // relative
        {"XDG_PICTURES_DIR=\"$HOMEWORK/x\"\n", ""}, {"XDG_PICTURES_DIR=$HOME/Pictures\n", ""},   // unquoted
        {"XDG_PICTURES_DIR=\"$HOME/Pictures\n", ""}, {"XDG_PICTURES_DIRS=\"$HOME/Pictures\"\n", ""}, {"", ""},
    };
    for (const auto& [text, want] : cases) EXPECT_EQ(user_dirs_pictures(text, "/home/pilot"), want) << text;
    EXPECT_EQ(user_dirs_pictures("XDG_PICTURES_DIR=\"$HOME/Pictures\"\n", ""), "") << "no home to put it in";
    // Of the file's folder, the environment's and home, the first that is there.
    TempDir dir;
    ScopedEnv env;
    const std::string home = dir.file("home");
    for (const char* folder : {"home/.config", "elsewhere", "config", "shots"})
        fs::create_directories(dir.file(folder));
    home_only(env, home);
    EXPECT_EQ(screenshot_folder(), home) << "nothing named: home";
    dir.write("home/.config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Pictures\"\n");
    EXPECT_EQ(screenshot_folder(), home) << "named but not there: home";
    env.set("XDG_PICTURES_DIR", dir.file("elsewhere"));
    EXPECT_EQ(screenshot_folder(), dir.file("elsewhere")) << "the environment, when the file's folder is missing";
    fs::create_directories(home + "/Pictures");
    EXPECT_EQ(screenshot_folder(), home + "/Pictures") << "the file's folder comes first";
    dir.write("config/user-dirs.dirs", "XDG_PICTURES_DIR=\"" + dir.file("shots") + "\"\n");
    env.set("XDG_CONFIG_HOME", dir.file("config"));
    EXPECT_EQ(screenshot_folder(), dir.file("shots")) << "XDG_CONFIG_HOME moves the file";
    env.unset("XDG_CONFIG_HOME");
    env.unset("XDG_PICTURES_DIR");
    env.set("HOME", dir.file("no-such-home"));
    EXPECT_EQ(screenshot_folder(), "");
}

TEST(Environment, TwoShotsInOneSecondKeepBoth)
{
    TempDir dir;
    std::tm t{};
    std::tie(t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec) = std::tuple(124, 2, 5, 7, 8, 9);
    const Palette palette_a = test_palette(0), palette_b = test_palette(7);
    const std::vector<uint8_t> a = test_picture(656, 0), b = test_picture(640, 99);  // rows may be longer than 640
    std::string first, second, why;
    ASSERT_EQ(screenshot_save_in(dir.path(), t, {a.data(), 656, 640, 480, palette_a.data()}, first), 1) << first;
    ASSERT_EQ(screenshot_save_in(dir.path() + "/", t, {b.data(), 640, 640, 480, palette_b.data()}, second), 1)
        << second;
    EXPECT_EQ(first, dir.file("kestrava-20240305-070809.png"));
    EXPECT_EQ(second, dir.file("kestrava-20240305-070809-2.png"));
    expect_picture(first, a, 656, palette_a);
    expect_picture(second, b, 640, palette_b);
    t.tm_hour = 23;
    EXPECT_EQ(screenshot_name(t, 12), "kestrava-20240305-230809-12.png");
    const PlatformPicture picture{a.data(), 640, 640, 480, palette_a.data()};
    EXPECT_EQ(screenshot_save_in(dir.file("gone"), t, picture, why), 0);
    EXPECT_NE(why.find(dir.file("gone/kestrava-20240305-230809.png")), std::string::npos) << why;
    EXPECT_EQ(screenshot_save_in("", t, picture, why), 0);
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(files_in(dir.dir), 2);
}

// F12 on the player's edge saves what is on screen, once however long it is
// held; a save that fails is one line and the game goes on.
TEST(F12, SavesThePictureOnScreenAndPrintsWhere)
{
    TempDir dir;
    ScopedEnv env;
    home_only(env, dir.path());
    ASSERT_EQ(platform_window_open("Kestrava", 640, 480), 1) << report_text();
    drain_events();
    std::string out, err;
    auto poll_all = [&] {  // every waiting event taken as the loop would, and what was printed
        testing::internal::CaptureStdout();
        PlatformEvent e = PLATFORM_EVENT_NONE;
        err = stderr_of([&] {
            for (int empty = 0; empty < 2 && (e = platform_poll_event()) != PLATFORM_EVENT_QUIT;) {
                if (e == PLATFORM_EVENT_SCREENSHOT) screenshot_take(platform_picture());
                empty = e == PLATFORM_EVENT_NONE ? empty + 1 : 0;
            }
        });
        out = testing::internal::GetCapturedStdout();
        return e;
    };
    push_key(SDL_SCANCODE_F12);
    EXPECT_EQ(poll_all(), PLATFORM_EVENT_NONE);
    EXPECT_EQ(out + err, "") << "nothing on screen yet: nothing to save";
    const Palette palette = test_palette(3);
    std::vector<uint8_t> picture = test_picture(672, 5);
    platform_present(picture.data(), 672, 640, 480, palette.data());
    const std::vector<uint8_t> shown = picture;
    std::fill(picture.begin(), picture.end(), 0);  // the next frame, drawn before F12 is read
    push_key(SDL_SCANCODE_F12);
    push_key(SDL_SCANCODE_F12, KMOD_NONE, 1);  // the key held down repeats: one picture only
    EXPECT_EQ(poll_all(), PLATFORM_EVENT_NONE);
    ASSERT_EQ(files_in(dir.dir), 1) << "one picture only";
    const std::string name = fs::directory_iterator(dir.dir)->path().filename();
    EXPECT_EQ(out + err, dir.file(name) + "\n");
    EXPECT_TRUE(name.rfind("kestrava-", 0) == 0 && name.size() == strlen("kestrava-YYYYMMDD-HHMMSS.png")) << name;
    expect_picture(dir.file(name), shown, 672, palette);
    env.set("HOME", dir.file("no-such-home"));
    push_key(SDL_SCANCODE_F12);
    platform_window_destroy();
    EXPECT_EQ(poll_all(), PLATFORM_EVENT_QUIT) << "the quit still comes";
    EXPECT_TRUE(out.empty() && one_line_starting(err, "kestrava: screenshot not saved: ")) << out << err;
    platform_window_close();
}

}  // namespace
