// Start-up, the main loop and shut-down, each in the game's fixed order.
#include "shell/shell.h"

#include "audio/midi.h"
#include "audio/sfx.h"
#include "game/rules.h"
#include "graphics/assets.h"
#include "graphics/display.h"
#include "input/keyboard.h"
#include "platform/platform.h"
#include "shell/screenshot.h"

int startup_all()
{
    world.quit_requested = 0;
    if (!platform_window_open("Kestrava", SCREEN_WIDTH, SCREEN_HEIGHT)) return 0;
    display.window_open = 1;
    if (!display_init()) return 0;
    if (!load_assets()) return 0;
    reset_level(NEW_GAME);
    world.intro_timer = 1350;
    world.intro_scroll_y = 480;
    world.phase = PHASE_INTRO;
    return 1;
}

// ESC closes the window (run_frame); the quit event that answers it ends the
// loop on a later pass.
int main_loop()
{
    for (;;) {
        const PlatformEvent event = platform_poll_event();
        if (event == PLATFORM_EVENT_QUIT) break;
        if (event == PLATFORM_EVENT_SCREENSHOT) screenshot_take(platform_picture());
        if (keyboard_play_finished()) break;
        run_frame();
    }
    return 0;
}

int shutdown_all()
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
    display_release();
    if (window_open) platform_window_close();
    return 1;
}
