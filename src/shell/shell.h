// The program itself: start-up in its fixed order, the main loop and the
// shut-down in its fixed order.
#pragma once

#include <cstdint>

// The frame clock.
extern uint32_t frame_start;
uint32_t clock_mark();
void clock_wait_until(uint32_t milliseconds);

// Display, sound, music, keyboard, assets, the first game and the intro.
// Returns 1, or 0 with the reason left in report_text().
int startup_all();
// One event at most and one frame per pass, until the quit event.
int main_loop();
// Keyboard, music, effects, then graphics; returns 1.
int shutdown_all();
// Called by the frame on ESC, as a window answers its destroy request.
void window_destroy();
