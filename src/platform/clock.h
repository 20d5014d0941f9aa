// The frame clock: every frame lasts at least FRAME_MS, paced on the edge's
// millisecond tick count. The same clock times the player's game
// (real milliseconds) and a headless run (virtual ones).
#pragma once

#include <cstdint>

// The length of one frame; the game's speeds are per frame.
constexpr uint32_t FRAME_MS = 30;

// The tick count at the start of the current frame. The keyboard tells one
// frame from the next by it when it records or plays a run.
extern uint32_t frame_start;
// How many frames have been marked. Frames are told apart by it, not by
// their ticks: the browser's loop runs frames back to back within one
// millisecond when it catches up with the wall clock.
extern uint32_t frame_serial;
// Marks the start of a frame and returns its tick count.
uint32_t clock_mark();
// Returns once `milliseconds` have passed since the mark.
void clock_wait_until(uint32_t milliseconds);

// The clock sleeps through a wait but its last CLOCK_SPIN_MS, which it spins,
// so a frame ends punctually and the processor rests for most of it. A busy
// clock spins throughout: a core given to the game alone, but on a machine
// doing other work the scheduler takes that core away, and frames run late.
constexpr uint32_t CLOCK_SPIN_MS = 2;
void clock_set_busy(bool busy);  // from the player's settings, before the first frame

// Work the shell does in a frame's spare time (the best runs' replays): each
// call a slice of well under a millisecond, false when nothing is left. A
// wait calls it while more than IDLE_MARGIN_MS of the frame remain, then
// sleeps or spins the rest, so the frame still ends on time.
constexpr uint32_t IDLE_MARGIN_MS = 4;
void clock_set_idle_work(bool (*work)());

// In the browser the page's loop runs the frames as the wall clock calls for
// them and yields to the page between them: the clock then never waits, and
// the loop gives the spare time to the idle work by clock_idle.
void clock_set_paced_by_caller(bool paced);
// Idle work while more than IDLE_MARGIN_MS remain of `milliseconds` after
// the mark.
void clock_idle(uint32_t milliseconds);
