// The frame clock: every frame lasts at least FRAME_MS, paced by spinning on
// the edge's millisecond tick count. The same clock times the player's game
// (real milliseconds) and a headless run (virtual ones).
#pragma once

#include <cstdint>

// The length of one frame; the game's speeds are per frame.
constexpr uint32_t FRAME_MS = 30;

// The tick count at the start of the current frame. The keyboard tells one
// frame from the next by it when it records or plays a run.
extern uint32_t frame_start;
// Marks the start of a frame and returns its tick count.
uint32_t clock_mark();
// Returns once `milliseconds` have passed since the mark.
void clock_wait_until(uint32_t milliseconds);

// A gentle clock sleeps through a wait but its last GENTLE_SPIN_MS, which it
// spins as the busy clock does, so a frame ends as punctually; the processor
// rests for most of every frame. Off unless asked for.
constexpr uint32_t GENTLE_SPIN_MS = 2;
void clock_set_gentle(bool gentle);
