// kestrava in a browser tab: the same start-up, loop and shut-down as the
// desktop game, on the same edge, turned inside out for the page. The page
// calls tick() once for every picture it paints; each call runs the frames
// the wall clock calls for since the game began (one frame every FRAME_MS)
// and returns, so the page stays alive and the game keeps time with the
// wall clock whatever the painting rate. The data files, the font and the
// rendered music are in the page's file system; the settings and the best
// runs are in the browser's storage, which the page mounts at their usual
// places before start-up.
//
// The whole sitting is recorded from start-up as a key script, which the
// page offers as a download (web_key_script); it replays in the desktop's
// runner to the pictures the page showed.
#include <emscripten.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "base/data_files.h"
#include "base/report.h"
#include "input/keyboard.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "shell/best_runs.h"
#include "shell/runs.h"
#include "shell/screenshot.h"
#include "shell/settings.h"
#include "shell/shell.h"

// Where the page put the game's files, and where the sitting is recorded.
constexpr const char* WEB_DATA_FOLDER = "/data";
constexpr const char* SITTING_PATH = "/tmp/sitting.keys";
// Frames the loop runs to catch up with the wall clock; further behind (the
// tab was hidden, the machine stopped) the lost time is let go.
constexpr long MAX_CATCH_UP_FRAMES = 8;
// A paused game's passes in one call, at most this long: events, then the
// best runs' replays.
constexpr double PAUSED_PASS_MS = 8;
// The best runs' replays take at most this much of a frame's time after it
// ran, less the clock's margin, so the page keeps time to paint.
constexpr uint32_t WEB_IDLE_MS = FRAME_MS / 2;

enum WebStage { WEB_SPLASH, WEB_PLAYING, WEB_ENDED };
static WebStage stage = WEB_SPLASH;
static double splash_shown_at;  // the page's clock when the splash showed
static double frames_began_at;  // the page's clock at the first frame, moved on by lost time
static long frames_passed;      // frames run (or passed paused) since then
static std::FILE* sitting;      // the sitting's key script, from start-up
static char sitting_buffer[1 << 16];

// The page's own steps, written in its script (index.html).
EM_JS(void, page_download, (const char* path, const char* name, const char* type), {
    Module.kestravaDownload(UTF8ToString(path), UTF8ToString(name), UTF8ToString(type));
});
EM_JS(void, page_game_ended, (int code), { Module.kestravaEnded(code); });
EM_JS(void, page_stage, (const char* stage), { Module.kestravaStage(UTF8ToString(stage)); });
// The page measures its pace (bench/web-pace) from when pictures come.
EM_JS(void, page_frames_ran, (int frames), {
    if (Module.kestravaPace) Module.kestravaPace.push([ performance.now(), frames ]);
});

static std::tm local_now()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

// F12: the picture on screen as a PNG download.
static void download_screenshot(const PlatformPicture& picture)
{
    std::string path;
    if (!screenshot_save_in("/tmp", local_now(), picture, path)) {
        report_warning("screenshot", path.c_str());
        return;
    }
    page_download(path.c_str(), path.substr(path.rfind('/') + 1).c_str(), "image/png");
    std::remove(path.c_str());
}

// F9 and the page's button: the sitting's key script so far, as a download
// named like a screenshot.
extern "C" EMSCRIPTEN_KEEPALIVE void web_key_script()
{
    if (!sitting || std::fflush(sitting) != 0) return;
    const std::tm local = local_now();
    char name[64];
    std::strftime(name, sizeof name, "kestrava-%Y%m%d-%H%M%S.keys", &local);
    page_download(SITTING_PATH, name, "text/plain");
}

static void finish(int code)
{
    if (stage == WEB_PLAYING) main_loop_end();
    // The page keeps the last picture plain under its offer to play again: a
    // best run's notice, whose F2 no longer works, goes with the game.
    platform_show_notice(nullptr);
    stage = WEB_ENDED;
    emscripten_cancel_main_loop();
    shutdown_all(true);
    if (sitting) {
        keyboard_go_live();
        std::fflush(sitting);
    }
    page_game_ended(code);
}

// The splash stays its time; the window's close and ESC end the game there.
static bool splash_over(double now)
{
    for (PlatformEvent event; (event = platform_poll_event()) != PLATFORM_EVENT_NONE;) {
        if (event == PLATFORM_EVENT_QUIT || event == PLATFORM_EVENT_ESCAPE) {
            finish(0);
            return false;
        }
    }
    if (now - splash_shown_at < SPLASH_MS) return false;
    if (!startup_after_splash()) {
        std::fprintf(stderr, "kestrava: %s\n", report_text());
        finish(1);
        return false;
    }
    stage = WEB_PLAYING;
    page_stage("playing");
    frames_began_at = now;
    frames_passed = 0;
    return true;
}

static void tick()
{
    const double now = emscripten_get_now();
    if (stage == WEB_SPLASH && !splash_over(now)) return;
    if (stage != WEB_PLAYING) return;
    long due = static_cast<long>((now - frames_began_at) / FRAME_MS) + 1 - frames_passed;
    if (due > MAX_CATCH_UP_FRAMES) {
        frames_began_at = now - static_cast<double>(frames_passed) * FRAME_MS;
        due = 1;
    }
    int ran = 0;
    for (; due > 0; --due) {
        ++frames_passed;
        LoopPass pass = main_loop_pass();
        while (pass == LOOP_PAUSED && emscripten_get_now() - now < PAUSED_PASS_MS) pass = main_loop_pass();
        if (pass == LOOP_END) {
            finish(0);
            return;
        }
        ran += pass == LOOP_FRAME;
    }
    if (ran) page_frames_ran(ran);
    clock_idle(WEB_IDLE_MS);
}

int main()
{
    data_set_folders({{WEB_DATA_FOLDER, DATA_FROM_FOLDER}});
    Settings settings;
    const std::string settings_file = settings_path();
    settings_load(settings_file, settings);
    shell_use_settings(settings, settings_file);
    // A page may go fullscreen only when the player asks (Alt+Enter, its button).
    platform_choose_fullscreen(false);
    shell_set_screenshot(download_screenshot);
    clock_set_paced_by_caller(true);
    sitting = std::fopen(SITTING_PATH, "w");
    if (sitting) {
        std::setvbuf(sitting, sitting_buffer, _IOFBF, sizeof sitting_buffer);
        keyboard_record(sitting);
    }
    if (settings.best_runs) best_runs_start(runs_default_folder());
    if (!startup_splash()) {
        std::fprintf(stderr, "kestrava: %s\n", report_text());
        finish(1);
        return 1;
    }
    page_stage("splash");
    splash_shown_at = emscripten_get_now() - (settings.splash_wait ? 0 : SPLASH_MS);
    emscripten_set_main_loop(tick, 0, false);
    return 0;
}
