// The program itself: start-up in its fixed order, the main loop and the
// shut-down in its fixed order. The player's game and the headless runner
// both go through these.
#pragma once

#include <cstdint>
#include <string>

#include "game/world.h"
#include "platform/platform.h"
#include "shell/settings.h"

// The one World the program runs, for the life of the process.
extern World world;

// The player's settings for the game about to start: volumes, the clock,
// the scaling, steady colours, the soundfonts (the one named, then those of
// SDL_SOUNDFONTS, then the game's own), the window's mode and the pause on
// focus loss. Alt+Enter's choice is written back to `settings_file` (empty:
// there is none, which the first Alt+Enter says). Called before startup_all;
// without it the game starts with the default settings.
void shell_use_settings(const Settings& settings, const std::string& settings_file);

// Window, display, the splash (and its wait, unless the settings skip it),
// the screen images, sound, music, keyboard, assets, the first game and the
// intro.
// Returns 1, or 0 with the reason left in report_text(), or STARTUP_QUIT
// when the player ended the game during the splash.
constexpr int STARTUP_QUIT = -1;
int startup_all();
// How long the splash shows before the game loads on.
constexpr uint32_t SPLASH_MS = 4000;
// startup_all in two halves, for a loop that waits out the splash itself:
// the window, display and splash (1, or 0 with the reason), then the rest.
int startup_splash();
int startup_after_splash();
// One frame as the player sees it: the clock's mark, the keys, the rules and
// the presenter. Returns 0, doing nothing, once ESC has been seen, else 1.
int shell_frame();
// One pass of the main loop: one event at most, then a frame unless paused.
enum LoopPass {
    LOOP_FRAME,   // a frame ran
    LOOP_PAUSED,  // paused, with an event taken or spare-time work done: pass again at once
    LOOP_IDLE,    // paused with nothing to do: wait for an event before the next pass
    LOOP_END,     // the quit event, ESC while paused, or the end of a run played back
};
LoopPass main_loop_pass();
// After the last pass: the overlay goes and the sound goes on, for shut-down.
void main_loop_end();
// Passes until the loop ends, sleeping while paused with nothing to do.
int main_loop();
// F12 saves the picture on screen with screenshot_take, unless this names
// another way (the browser offers it as a download).
void shell_set_screenshot(void (*take)(const PlatformPicture& picture));
// Keyboard, music, effects, then graphics: start-up in reverse. Safe after a
// start-up that failed at any step. The browser's page keeps the window, and
// the last picture in it, under its offer to play again.
void shutdown_all(bool keep_picture = false);
