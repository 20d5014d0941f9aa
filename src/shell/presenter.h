// The presenter: turns what a frame of the rules produced into blits and
// texts on the back buffer, effects and music, the present and the frame's
// pacing. The player's game and the headless runner show frames through it
// alike; only the edge below differs.
#pragma once

#include <cstdint>

#include "game/output.h"

// Draws the output's draws in order; at each DRAW_PRESENT shows the picture
// and waits out the frame (FRAME_MS from the clock's mark), sounding the cues
// just before the last picture. ESC's frame first closes the window.
void present_frame(const FrameOutput& out);
// Draws the output's pictures and texts onto the back buffer and shows
// nothing: the drawing alone, as the benchmark measures it.
void draw_frame(const FrameOutput& out);
// Sounds the output's cues in order: effects and music start and stop.
void present_cues(const FrameOutput& out);

// With steady colours on, the three flashing texts show a colour for at
// least STEADY_COLOUR_MS and none darker than STEADY_MIN_LUMINANCE (of
// white's); the rules draw the flashing colour all the same, so the random
// sequence and the game are the same either way. Off unless asked for.
constexpr uint32_t STEADY_COLOUR_MS = 500;
constexpr float STEADY_MIN_LUMINANCE = 0.25f;
void set_steady_colours(bool steady);
// The colour to show for a flashing text, given the colour just drawn for it.
uint32_t shown_colour(FlashingText text, uint32_t drawn);
