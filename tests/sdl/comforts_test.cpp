// The player's comforts, sound and screenshots at the SDL edge: the pause
// keys and focus loss, the overlays drawn over the picture and never into it,
// the splash's wait ended by ESC or a quit, the volumes on SDL's disk audio
// driver, the soundfonts in the player's order, software OpenGL told by name;
// the mixer on SDL's dummy device and the limiter (without a device:
// NoDevice.WithoutAudioTheGamePlaysSilentlyAfterOneWarning); the PNG writer,
// the pictures folder, names that never replace a picture, and F12.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "../support/files.h"
#include "../support/png_read.h"
#include "../support/process.h"
#include "../support/sdl_events.h"
#include "audio/midi.h"
#include "audio/mixer.h"
#include "audio/sfx.h"
#include "base/report.h"
#include "shell/screenshot.h"
#include "shell/shell.h"

namespace {

constexpr int W = 640, H = 480;

TEST(PauseAtTheEdge, KeysAndFocusLossAreReportedAndThePictureIsDimmedOnScreenOnly)
{
    report_clear();
    ASSERT_EQ(platform_window_open("Kestrava", W, H), 1) << report_text();
    drain_events();
    push_key(SDL_SCANCODE_P);
    push_key(SDL_SCANCODE_P, KMOD_NONE, 1);  // held: no second pause
    push_key(SDL_SCANCODE_PAUSE);
    push_key(SDL_SCANCODE_F1);
    push_key(SDL_SCANCODE_F2);
    SDL_Event focus{.window = {SDL_WINDOWEVENT, 0, SDL_GetWindowID(sdl_edge_window()), SDL_WINDOWEVENT_FOCUS_LOST, 0, 0,
                               0, 0, 0}};
    SDL_PushEvent(&focus);
    std::array<PlatformEvent, 5> polled{};
    for (PlatformEvent& e : polled) e = platform_poll_event();
    EXPECT_EQ(polled, (std::array{PLATFORM_EVENT_PAUSE, PLATFORM_EVENT_PAUSE, PLATFORM_EVENT_KEYS,
                                  PLATFORM_EVENT_BEST_RUNS, PLATFORM_EVENT_FOCUS_LOST}));

    const std::vector<uint8_t> picture(static_cast<size_t>(W) * H, 7);
    Palette palette{};
    palette[7] = Colour{200, 100, 50, 255};
    platform_present(picture.data(), W, W, H, palette.data());
    // The colour at the picture's corner, and the white of the letters
    // above, across and below the band where PAUSED goes.
    auto screen = [] {
        int w = 0, h = 0;
        SDL_GetRendererOutputSize(sdl_edge_renderer(), &w, &h);
        std::vector<uint32_t> px(static_cast<size_t>(w) * static_cast<size_t>(h));
        EXPECT_EQ(SDL_RenderReadPixels(sdl_edge_renderer(), nullptr, SDL_PIXELFORMAT_ARGB8888, px.data(), w * 4), 0);
        const SDL_Rect box = fill_rect(w, h, W, H);
        std::array<int, 3> white{};
        for (int y = box.y; y < box.y + box.h; ++y) {
            const int row = (y - box.y) * H / box.h;  // in the picture's rows
            const size_t band = row < 210 ? 0 : row < 265 ? 1 : 2;
            for (int x = box.x; x < box.x + box.w; ++x) white[band] += (px[size_t(y * w + x)] & 0xFFFFFF) == 0xFFFFFF;
        }
        return std::make_pair(px[size_t(box.y * w + box.x)] & 0xFFFFFF, white);
    };
    const std::array<int, 3> none{};
    EXPECT_EQ(screen(), std::make_pair(0xC86432u, none));
    // PAUSED across the middle, how to go on under it, nothing far above;
    // the keys from high to low; a table of two lines in the middle alone.
    const char* const table[] = {"BEST RUNS", " 1  1230  4  2026-12-07 16:58  1:02:03"};
    platform_overlay_lines(table, 2);
    for (PlatformOverlay overlay : {PLATFORM_OVERLAY_PAUSED, PLATFORM_OVERLAY_KEYS, PLATFORM_OVERLAY_BEST_RUNS}) {
        platform_show_overlay(overlay);
        const auto [corner, white] = screen();
        EXPECT_TRUE(corner >> 16 > 0 && corner >> 16 < 0x60u) << "dimmed yet seen: " << std::hex << corner;
        EXPECT_TRUE(overlay == PLATFORM_OVERLAY_PAUSED ? white[0] == 0 && white[1] > 1000 && white[2] > 200
                    : overlay == PLATFORM_OVERLAY_KEYS ? white[0] > 1000 && white[1] > 1000 && white[2] > 1000
                                                       : white[0] == 0 && white[1] > 200 && white[2] == 0)
            << overlay << ": " << white[0] << " " << white[1] << " " << white[2];
    }
    // The picture the game presented, and that F12 saves, is untouched.
    const PlatformPicture kept = platform_picture();
    ASSERT_NE(kept.pixels, nullptr);
    EXPECT_TRUE(std::all_of(kept.pixels, kept.pixels + W * H, [](uint8_t p) { return p == 7; }));
    platform_show_overlay(PLATFORM_OVERLAY_NONE);
    EXPECT_EQ(screen(), std::make_pair(0xC86432u, none));
    // A new best run's line near the top, over the game undimmed.
    platform_show_notice("Best run #3 \xE2\x80\x94 F2");
    const auto [corner, white] = screen();
    EXPECT_TRUE(corner == 0xC86432u && white[0] > 100 && white[1] == 0) << white[0] << " " << white[1];
    platform_show_notice(nullptr);
    EXPECT_EQ(screen(), std::make_pair(0xC86432u, none));
    // The splash's wait, an hour long, ends on ESC or the close button.
    push_key(SDL_SCANCODE_ESCAPE);
    EXPECT_EQ(platform_delay(3600 * 1000), PLATFORM_EVENT_ESCAPE);
    platform_window_destroy();
    EXPECT_EQ(platform_delay(3600 * 1000), PLATFORM_EVENT_QUIT);
    platform_window_close();
}

// The effect and a steady music at the volumes given, as the disk driver's
// file has them: the largest left sample with the effect, and without.
std::pair<int, int> disk_peaks(int music, int effects)
{
    TempDir dir;
    const std::string out = dir.file("out.raw");
    ScopedEnv env;
    env.set("SDL_AUDIODRIVER", "disk"), env.set("SDL_DISKAUDIOFILE", out);
    sfx_init();
    EXPECT_EQ(sfx_device_open(), 1);
    static const std::vector<uint8_t> effect(2205, 0xC0);  // a quarter of full scale, 0.2 s
    mixer_attach(0, effect.data(), static_cast<uint32_t>(effect.size()));
    mixer_set_music([](float* left, float* right, int frames) {
        std::fill(left, left + frames, 0.1f);
        std::fill(right, right + frames, 0.1f);
    });
    mixer_set_volumes(music, effects);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    mixer_start(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    sfx_shutdown();
    mixer_reset();
    mixer_set_volumes(100, 100);
    const std::string raw = file_text(out);
    std::vector<int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    int peak = 0;
    for (size_t i = 0; i < samples.size(); i += 2) peak = std::max(peak, int(samples[i]));
    // The effect is long over by the last buffer: the music alone.
    return {peak, samples.size() < 2 ? -1 : int(samples[samples.size() - 2])};
}

TEST(Volumes, ScaleTheEffectsAndTheMusicOnTheDevice)
{
    // Full scale: the effect (a quarter) over the music (a tenth).
    EXPECT_EQ((std::vector{disk_peaks(100, 100), disk_peaks(50, 100), disk_peaks(0, 50), disk_peaks(0, 0)}),
              (std::vector<std::pair<int, int>>{{11468, 3277}, {9830, 1638}, {4096, 0}, {0, 0}}));
}

// In a child process: a soundfont that is a pipe with no writer must not
// hang the game, and a path SDL_SOUNDFONTS gives but the game does not use
// is said first.
TEST(Soundfonts, TheNamedOneThenSdlSoundfontsThenTheGamesOwnEachRefusalOneLine)
{
    TempDir dir;
    const std::string named = dir.file("absent.sf2");
    const std::string junk = dir.write("junk.sf2", std::string(4000, 'Z'));
    const std::string pipe = dir.file("pipe.sf2");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    Program child([&] {
        setenv("SDL_SOUNDFONTS", (junk + "::" + pipe + ":" + std::string(5000, 'x')).c_str(), 1);
        Settings settings;
        settings.soundfont = named;
        shell_use_settings(settings, "");
        sfx_init(), midi_init();
        const int ready = midi_synth_ready();
        midi_shutdown();
        sfx_shutdown();
        return ready;
    });
    const Ended e = child.wait(std::chrono::seconds(30));
    const std::string& said = e.err;
    const size_t first = said.find("kestrava: " + named + ": ");
    const size_t second = said.find("kestrava: " + junk + ": ");
    const size_t third = said.find("kestrava: " + pipe + ": a pipe, not a regular file");
    EXPECT_TRUE(e.exited && said.starts_with("kestrava: SDL_SOUNDFONTS: a path of 5000 bytes is not used") &&
                0 < first && first < second && second < third && third != std::string::npos) << said;
    EXPECT_TRUE(e.status == 0 || count_lines(said) == 4) << said;
}

TEST(Renderer, SoftwareOpenGlIsToldByItsName)
{
    std::vector<bool> software;
    for (const char* name : {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Software Rasterizer",
                             "Mesa Intel(R) UHD Graphics 620 (KBL GT2)",
                             "AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0)", (const char*)nullptr})
        software.push_back(gl_renderer_is_software(name));
    EXPECT_EQ(software, (std::vector<bool>{true, true, true, false, false, false}));
}

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
    EXPECT_EQ(out + err, "kestrava: screenshot not saved: no home folder to save into\n");
    platform_window_close();
}

using Frames = std::vector<int16_t>;  // interleaved stereo

// Keeps the device's own thread from moving anything while a test listens.
struct AudioLock { AudioLock() { platform_audio_lock(); } ~AudioLock() { platform_audio_unlock(); } };

// Renders in the device's blocks, as the device asks for them.
Frames render(int frames)
{
    const AudioLock hold;
    Frames all;
    for (int left = frames; left > 0; left -= MIX_BUFFER_FRAMES) {
        Frames out(size_t(std::min(left, MIX_BUFFER_FRAMES)) * 2, 12345);
        mixer_render(out.data(), int(out.size() / 2));
        all.insert(all.end(), out.begin(), out.end());
    }
    return all;
}
// Whole blocks only: the synthesiser keeps what it made past a block's end.
Frames play_for(double seconds) { return render(int(seconds * MIX_SAMPLE_RATE) / MIX_BUFFER_FRAMES * MIX_BUFFER_FRAMES); }

double rms(const Frames& f, double from = 0, double to = 1e9)
{
    const auto a = std::min(size_t(from * MIX_SAMPLE_RATE) * 2, f.size());
    const auto b = std::min(size_t(to * MIX_SAMPLE_RATE) * 2, f.size());
    double sum = 0;
    for (size_t i = a; i < b; ++i) sum += double(f[i]) * f[i];
    return b > a ? std::sqrt(sum / double(b - a)) : 0;
}

int peak(const Frames& f) { int p = 0; for (int16_t s : f) p = std::max(p, std::abs(int(s))); return p; }

// Effect byte i at output frame k: signed half-scale samples, four frames
// each, joined by straight lines.
double expected_frame(const Bytes& bytes, size_t k)
{
    auto value = [&](size_t i) { return i < bytes.size() ? (int(bytes[i]) - 128) / 128.0 * 0.5 : 0.0; };
    const size_t i = k / 4;
    return (value(i) + (value(i + 1) - value(i)) * double(k % 4) / 4.0) * 32767.0;
}

Bytes ramp(size_t n) { Bytes b(n); for (size_t i = 0; i < n; ++i) b[i] = uint8_t(20 + i * 37 % 216); return b; }

class AudioDevice : public ::testing::Test {
protected:
    TempDir dir;
    void SetUp() override
    {
        sfx_init();
        ASSERT_TRUE(sfx_device_open()) << "SDL_AUDIODRIVER=dummy gives a device";
    }
    void TearDown() override { midi_shutdown(), sfx_delete_all(), sfx_shutdown(); }
    int load(const std::string& name, const Bytes& bytes)
    {
        return sfx_load_wav(dir.write(name, pcm8_wave(bytes)).c_str());
    }
};

// An effect plays upsampled for exactly its length, restarts, stops; loud
// effects together bend instead of clipping.
TEST_F(AudioDevice, EffectsPlayUpsampledForTheirLengthRestartStopAndBendTogether)
{
    const Bytes bytes = ramp(300);
    ASSERT_EQ(load("ramp.wav", bytes), 0);
    EXPECT_EQ(sfx_status(1), -1);
    const AudioLock hold;
    EXPECT_EQ(peak(render(256)), 0) << "nothing plays before sfx_play";
    sfx_play(0);
    Frames out = render(1199);
    EXPECT_EQ(sfx_status(0), DSBSTATUS_PLAYING);
    for (int n : {1, 100}) {
        const Frames more = render(n);
        out.insert(out.end(), more.begin(), more.end());
        EXPECT_EQ(sfx_status(0), 0) << "after the last frame";
    }
    for (size_t k = 0; k < 1300; ++k) {
        ASSERT_NEAR(out[2 * k], k < 1200 ? expected_frame(bytes, k) : 0.0, 1.0) << "frame " << k;
        ASSERT_EQ(out[2 * k], out[2 * k + 1]) << "frame " << k;
    }
    // Played again, while playing or after a stop: from its first byte.
    sfx_play(0);
    const Frames first = render(700);
    sfx_play(0);
    EXPECT_EQ(render(700), first);
    sfx_stop(0);
    EXPECT_EQ(sfx_status(0), 0);
    EXPECT_EQ(peak(render(512)), 0);
    sfx_play(0);
    EXPECT_EQ(render(700), first);
    sfx_stop(0);
    Bytes square(400);
    for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 20) % 2 ? 0x00 : 0xFF;
    for (int i = 1; i <= 7; ++i) ASSERT_EQ(load("square" + std::to_string(i) + ".wav", square), i);
    sfx_play(1);
    const Frames one = render(1600);
    EXPECT_NEAR(peak(one), 0.5 * 32767, 1) << "one effect passes the limiter untouched";
    for (int n = 2, previous = peak(one); n <= 7; ++n) {
        for (int i = 1; i <= n; ++i) sfx_play(i);
        const Frames sum = render(1600);
        for (size_t k = 0; k < sum.size(); ++k)  // nothing wraps round
            ASSERT_FALSE((sum[k] > 0 && one[k] < 0) || (sum[k] < 0 && one[k] > 0)) << n << " effects, " << k;
        EXPECT_TRUE(peak(sum) > previous && peak(sum) < 32767) << n << " effects: louder, never full scale";
        previous = peak(sum);
    }
}

TEST(MixerLimit, IsSmoothMonotonicAndBounded)
{
    float previous = mixer_limit(0.0f);
    for (float x = 0.001f; x < 20.0f; previous = mixer_limit(x), x += 0.001f) {
        const float y = mixer_limit(x);
        ASSERT_TRUE(y >= previous && y - previous < 0.0011f && y <= 1.0f) << "a step or a fall at " << x;
        ASSERT_EQ(mixer_limit(-x), -y) << x;
    }
    EXPECT_FLOAT_EQ(mixer_limit(1.0f), 0.75f);
    EXPECT_EQ(mixer_limit(INFINITY), 1.0f);
    EXPECT_EQ(mixer_limit(NAN), 0.0f);
}

// A track sounds under the effects and stops at once, with no note or
// reverb tail hanging on; played again it starts from the top, and it
// replaces the track that was playing.
TEST_F(AudioDevice, MusicSoundsUnderTheEffectsStopsAtOnceAndReplacesTheCurrentTrack)
{
    const std::string said = stderr_of([] { midi_init(); });
    if (!midi_synth_ready()) GTEST_SKIP() << "no soundfont: " << said;
    EXPECT_EQ(said, "") << "a soundfont loads without a word";
    const AudioLock hold;
    auto track = [&](const char* name, const Bytes& file) { return midi_load(dir.write(name, file).c_str()); };
    ASSERT_EQ(track("long.mid", chord_file(1920, 2400)), 0);  // a chord held for two seconds
    ASSERT_EQ(track("short.mid", chord_file(240, 1200)), 1);  // a quarter-second chord, a second of silence
    const Bytes bytes = ramp(1000);
    ASSERT_EQ(load("ramp.wav", bytes), 0);
    ASSERT_EQ(midi_play(0), 1);
    EXPECT_NE(midi_slot(0).segment_state, nullptr);
    const Frames playing = play_for(0.5);
    EXPECT_GT(rms(playing, 0.1, 0.5), 500.0) << "the chord is heard";
    EXPECT_LT(peak(playing), 32767);
    sfx_play(0);
    const Frames both = render(4096);
    Frames music(both.size());  // the effect taken away again
    for (size_t k = 0; k < music.size(); ++k) music[k] = int16_t(both[k] - std::lrint(expected_frame(bytes, k / 2)));
    EXPECT_GT(rms(music), 500.0);
    EXPECT_GT(rms(both), rms(music));
    ASSERT_EQ(midi_stop(0), 1);
    EXPECT_EQ(midi_slot(0).segment_state, nullptr);
    EXPECT_EQ(peak(play_for(1.0)), 0) << "no note hangs on, no reverb tail";
    midi_play(1);
    const Frames once = play_for(0.9);
    EXPECT_GT(rms(once, 0.05, 0.2), 500.0);
    EXPECT_LT(rms(once, 0.8, 0.9), 20.0) << "the chord has died away";
    midi_play(1);
    EXPECT_GT(rms(play_for(0.3), 0.05, 0.2), 500.0) << "the chord again: the track is back at its start";
    EXPECT_EQ(midi_current_track(), 1);
    midi_play(0);
    play_for(0.3);
    midi_play(1);  // the long chord must not go on under the short one
    const Frames out = play_for(1.0);
    EXPECT_TRUE(midi_slot(0).segment_state == nullptr && midi_slot(0).play_state == MIDI_STOPPED);
    EXPECT_LT(rms(out, 0.8, 1.0), 20.0);
}

// No usable soundfont: one line naming what was wrong, and the bank goes on
// without music (its ids unchanged, as on the headless edge: Banks).
TEST_F(AudioDevice, WithoutASoundfontTheGameGoesOnWithoutMusic)
{
    const std::string junk = dir.write("junk.sf2", Bytes(4000, 0x5A)), none = dir.file("absent.sf2");
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        {{none.c_str()}, "kestrava: music: no General MIDI soundfont found"},
        {{none.c_str(), junk.c_str()}, "kestrava: " + junk + ": "},
    };
    for (const auto& [fonts, line_starts] : cases) {
        const std::string said = stderr_of([&] { midi_init_from(fonts.data(), int(fonts.size())); });
        EXPECT_EQ(midi_synth_ready(), 0);
        EXPECT_TRUE(one_line_starting(said, line_starts) && said.find("playing without music") != said.npos) << said;
        EXPECT_EQ(peak(render(2048)), 0);
        midi_shutdown();
    }
}

}  // namespace
