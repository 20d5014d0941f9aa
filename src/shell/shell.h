// The program itself: start-up in its fixed order, the main loop and the
// shut-down in its fixed order. The player's game and the headless runner
// both go through these.
#pragma once

// Display, sound, music, keyboard, assets, the first game and the intro.
// Returns 1, or 0 with the reason left in report_text().
int startup_all();
// One event at most and one frame per pass, until the quit event or the end
// of a run being played back.
int main_loop();
// Keyboard, music, effects, then graphics; returns 1.
int shutdown_all();
