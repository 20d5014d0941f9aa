// Start-up, the main loop and shut-down, each in the game's fixed order.
#include "shell/shell.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/midi.h"
#include "audio/mixer.h"
#include "audio/sfx.h"
#include "base/report.h"
#include "game/rules.h"
#include "graphics/display.h"
#include "input/keyboard.h"
#include "input/keys.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "shell/best_runs.h"
#include "shell/load.h"
#include "shell/presenter.h"
#include "shell/screenshot.h"

World world;

static std::string settings_file;  // where Alt+Enter's choice is saved; "" is none
// Cleared by the first failure to keep Alt+Enter's choice: that warning is
// said once, not at every press.
static bool keep_fullscreen_choice;
static bool pause_on_focus_loss;  // the focus-pause setting
static bool splash_wait = true;   // start-up waits out the splash (--no-splash-wait clears it)
// The output of the frame being shown; a frame allocates nothing.
static FrameOutput frame_output;

// How long a paused game sleeps between looks at the keyboard: ESC still
// quits at once to a person.
constexpr uint32_t PAUSED_LOOK_MS = 20;

void shell_use_settings(const Settings& settings, const std::string& file)
{
    settings_file = file;
    keep_fullscreen_choice = true;
    pause_on_focus_loss = settings.focus_pause;
    splash_wait = settings.splash_wait;
    mixer_set_volumes(settings.music_volume, settings.effects_volume);
    clock_set_busy(settings.busy_clock);
    set_steady_colours(settings.steady_colours);
    platform_choose_fullscreen(settings.fullscreen);
    platform_choose_integer_scale(settings.integer_scale);
    std::vector<std::string> soundfonts;
    if (!settings.soundfont.empty()) soundfonts.push_back(settings.soundfont);
    if (const char* list = std::getenv("SDL_SOUNDFONTS")) {
        std::vector<std::string> unused;
        for (std::string& path : soundfont_list(list, &unused)) soundfonts.push_back(std::move(path));
        for (const std::string& note : unused) report_warning("SDL_SOUNDFONTS", note.c_str());
    }
    midi_choose_soundfonts(soundfonts);
}

int startup_splash()
{
    world.quit_requested = 0;
    if (!platform_window_open("Kestrava", SCREEN_WIDTH, SCREEN_HEIGHT)) return 0;
    display.window_open = 1;
    return display_init() && load_splash();
}

int startup_all()
{
    if (!startup_splash()) return 0;
    // A window that ignores its close button is at fault, even during the
    // splash: the close button and ESC end the game there at once.
    if (splash_wait && platform_delay(SPLASH_MS) != PLATFORM_EVENT_NONE) return STARTUP_QUIT;
    return startup_after_splash();
}

int startup_after_splash()
{
    if (!load_screen_images()) return 0;
    sfx_init();
    midi_init();
    if (!keyboard_init()) {
        report_failure("keyboard", "cannot be opened");
        return 0;
    }
    if (!load_assets(world)) return 0;
    output_clear(frame_output);
    reset_level(world, NEW_GAME, frame_output);
    present_cues(frame_output);
    start_intro(world);
    return 1;
}

int shell_frame()
{
    if (world.quit_requested) return 0;
    clock_mark();
    keyboard_poll(world.key_state);
    output_clear(frame_output);
    run_frame(world, world.key_state, frame_output);
    best_runs_frame(world, world.key_state);
    present_frame(frame_output);
    return 1;
}

// The best runs' lines as the overlay shows them, as they stand now.
static void best_runs_overlay_lines()
{
    std::vector<std::string> lines = best_runs_lines();
    lines.insert(lines.end(), {"", "F2 to play on, ESC to quit"});
    std::vector<const char*> texts;
    for (const std::string& line : lines) texts.push_back(line.c_str());
    platform_overlay_lines(texts.data(), static_cast<int>(texts.size()));
}

// What F12 does with the picture on screen.
static void (*take_screenshot)(const PlatformPicture& picture) = screenshot_take;

void shell_set_screenshot(void (*take)(const PlatformPicture& picture)) { take_screenshot = take; }

// The game is paused while an overlay shows: PAUSED, the keys or the best runs.
static void show_overlay(PlatformOverlay& shown, PlatformOverlay wanted)
{
    if (shown == wanted) return;
    if ((shown == PLATFORM_OVERLAY_NONE) != (wanted == PLATFORM_OVERLAY_NONE)) {
        platform_audio_pause(wanted != PLATFORM_OVERLAY_NONE);
    }
    if (wanted == PLATFORM_OVERLAY_BEST_RUNS) best_runs_overlay_lines();
    shown = wanted;
    platform_show_overlay(wanted);
}

// The line that names the rank a game just took, while it stands.
static void show_notice(int& shown_rank)
{
    const int rank = best_runs_notice_rank();
    if (rank == shown_rank) return;
    shown_rank = rank;
    char text[64];
    std::snprintf(text, sizeof text, "Best run #%d \xE2\x80\x94 F2", rank);
    platform_show_notice(rank ? text : nullptr);
}

// The overlay on show (the game is paused while there is one) and the rank
// whose notice shows.
static PlatformOverlay shown_overlay = PLATFORM_OVERLAY_NONE;
static int notice_rank;

// ESC closes the window (the presenter); the quit event that answers it ends the
// loop on a later pass. While paused no frame reads the keys, so ESC (its
// key-down event, which a tap too short for a look at the keys still leaves)
// or a pad's Back held quits here at once; the keyboard is read past the
// recording latch, so a recording gets no line for it. A paused game gives
// its time to the best runs' replays, and a table on show follows them.
LoopPass main_loop_pass()
{
    PlatformOverlay& shown = shown_overlay;
    const PlatformEvent event = platform_poll_event();
    if (event == PLATFORM_EVENT_QUIT) return LOOP_END;
    if (event == PLATFORM_EVENT_SCREENSHOT) take_screenshot(platform_picture());
    if (event == PLATFORM_EVENT_FULLSCREEN && keep_fullscreen_choice) {
        keep_fullscreen_choice = settings_save_fullscreen(settings_file, platform_fullscreen());
    }
    const bool paused = shown != PLATFORM_OVERLAY_NONE;
    if (event == PLATFORM_EVENT_PAUSE) {
        show_overlay(shown, paused ? PLATFORM_OVERLAY_NONE : PLATFORM_OVERLAY_PAUSED);
    }
    if (event == PLATFORM_EVENT_KEYS) {
        show_overlay(shown, shown == PLATFORM_OVERLAY_KEYS ? PLATFORM_OVERLAY_NONE : PLATFORM_OVERLAY_KEYS);
    }
    if (event == PLATFORM_EVENT_BEST_RUNS && best_runs_on()) {
        show_overlay(shown, shown == PLATFORM_OVERLAY_BEST_RUNS ? PLATFORM_OVERLAY_NONE : PLATFORM_OVERLAY_BEST_RUNS);
    }
    if (event == PLATFORM_EVENT_FOCUS_LOST && pause_on_focus_loss && !paused) {
        show_overlay(shown, PLATFORM_OVERLAY_PAUSED);
    }
    if (shown != PLATFORM_OVERLAY_NONE) {
        uint8_t keys[256];
        platform_keyboard_read(keys);
        if (keys[DIK_ESCAPE] || event == PLATFORM_EVENT_ESCAPE) return LOOP_END;
        if (best_runs_changed() && shown == PLATFORM_OVERLAY_BEST_RUNS) best_runs_overlay_lines();
        return event == PLATFORM_EVENT_NONE && !best_runs_work() ? LOOP_IDLE : LOOP_PAUSED;
    }
    if (keyboard_play_finished()) return LOOP_END;
    shell_frame();
    show_notice(notice_rank);
    return LOOP_FRAME;
}

void main_loop_end()
{
    show_overlay(shown_overlay, PLATFORM_OVERLAY_NONE);
    notice_rank = 0;
}

int main_loop()
{
    for (LoopPass pass = main_loop_pass(); pass != LOOP_END; pass = main_loop_pass()) {
        if (pass == LOOP_IDLE) platform_wait_event(PAUSED_LOOK_MS);
    }
    main_loop_end();
    return 0;
}

void shutdown_all(bool keep_picture)
{
    keyboard_shutdown();
    // After a failed start-up a track id may be -1 or never have been set.
    for (int id : world.music_tracks) {
        if (id >= 0 && id < MUSIC_SLOTS) midi_stop(id);
    }
    midi_delete_all();
    midi_shutdown();
    sfx_stop_all();
    sfx_delete_all();
    sfx_shutdown();
    const int window_open = display.window_open;
    release_assets(world);
    display_release();
    if (window_open && !keep_picture) platform_window_close();
}
