// The player's comforts at the SDL edge: the pause keys, F1 and focus loss as
// events, the dimmed picture with PAUSED and its hint or the keys drawn over
// it and never into it, the splash's wait ended by ESC or a quit, the
// volumes through SDL's disk audio driver, the soundfonts in the player's
// order, and which OpenGL drivers are software.
#include <gtest/gtest.h>

#include <SDL.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "../support/env.h"
#include "../support/process.h"
#include "../support/sdl_events.h"
#include "../support/temp_dir.h"
#include "audio/midi.h"
#include "audio/mixer.h"
#include "audio/sfx.h"
#include "base/report.h"
#include "platform/platform.h"
#include "platform/sdl_edge.h"
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

}  // namespace
