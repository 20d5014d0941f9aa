// Start-up, the main loop and shut-down, each in the game's fixed order.
#include "shell/shell.h"

#include "audio/midi.h"
#include "audio/sfx.h"
#include "game/rules.h"
#include "graphics/assets.h"
#include "graphics/display.h"
#include "input/keyboard.h"
#include "platform/platform.h"
#include "shell/report.h"

int startup_all()
{
    if (!platform_window_open("Kestrava", SCREEN_WIDTH, SCREEN_HEIGHT)) return 0;
    display.window_open = 1;
    if (!display_init()) return 0;
    if (!load_assets()) return 0;
    reset_level(0);
    world.intro_timer = 1350;
    world.intro_scroll_y = 480;
    world.phase = PHASE_INTRO;
    return 1;
}

// ESC asks the window to close; the answer is the quit event, which ends the
// loop on a later pass.
void window_destroy() { platform_post_quit(); }

int main_loop()
{
    for (;;) {
        if (platform_poll_event() == PLATFORM_EVENT_QUIT) break;
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
