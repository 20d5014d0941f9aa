// The program itself: start-up in its fixed order, the main loop and the
// shut-down in its fixed order. The player's game and the headless runner
// both go through these.
#pragma once

#include <string>

#include "game/world.h"
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
// One frame as the player sees it: the clock's mark, the keys, the rules and
// the presenter. Returns 0, doing nothing, once ESC has been seen, else 1.
int shell_frame();
// One event at most and one frame per pass, until the quit event or the end
// of a run being played back. While paused no frame runs.
int main_loop();
// Keyboard, music, effects, then graphics: start-up in reverse. Safe after a
// start-up that failed at any step.
void shutdown_all();
