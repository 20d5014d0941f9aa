// The game rules: level set-up, the per-body steps and the frame.
#pragma once

#include <cstdint>

#include "game/output.h"
#include "game/world.h"

// Whether a key is held in the frame's keys.
inline bool key_down(const World& w, int scan_code)
{
    return w.key_state[static_cast<unsigned>(scan_code) & 0xFF] != 0;
}

// level.cpp: the one random generator; its state starts at 1 with the
// process and is never reseeded.
extern uint32_t rand_state;
// The next random number, 0 to 32767.
int game_rand();
// Fills the World's cos_table and sin_table, one entry a heading.
void build_heading_tables(World& w);
// reset_level's argument: a new game from level 1, or the next level.
constexpr int NEW_GAME = 0;
constexpr int NEXT_LEVEL = 1;
// Sets up a new game or the next level: phase, counters, the star, every
// asteroid slot, the ship, the shots and the astronaut; stops the music and
// effects and cues a random track. Returns 1.
int reset_level(World& w, int next_level, FrameOutput& out);

// gravity.cpp: what the motion rule needs to know of a kind of body.
struct BodyMotion {
    double centre_x;   // the body's centre, from its sprite's top-left corner
    double centre_y;
    bool near_cutoff;  // no pull closer than 15 pixels to the star
    float x_lo, x_hi;  // past one edge the body comes back at the other
    float y_lo, y_hi;
};
// The motion constants of each kind of body.
extern const BodyMotion ASTEROID_MOTION;
extern const BodyMotion SHIP_MOTION;
extern const BodyMotion SHOT_MOTION;
extern const BodyMotion ASTRONAUT_MOTION;
// Pulls a body toward the star, caps its speed, moves and wraps it.
void gravity_step(float& x, float& y, float& vx, float& vy, const BodyMotion& motion, const Star& star);

// Reference points of the bodies several rules test against: offsets from
// the top-left corner of the sprite.
constexpr double SHIP_REF_X = 11;
constexpr double SHIP_REF_Y = 9;
constexpr double ASTRONAUT_REF_X = 9;
constexpr double ASTRONAUT_REF_Y = 10;

// Contact tests truncate each reference point toward zero.
inline int trunc_ref(float v, double offset) { return static_cast<int>(static_cast<double>(v) + offset); }

// bodies.cpp: what every animated body does alike.
// One animation step: the tick counts up to `limit`, then the next of the
// body's `pictures` comes, after the last the first.
void animate(int32_t& frame, int32_t& tick, int limit, int pictures);
// Draws a picture of a body's sprite with its top-left corner at the body's
// position, truncated to whole pixels.
void draw_sprite(FrameOutput& out, SpriteId picture, float x, float y, const SpriteSize& size);
// Draws the next of the body's ten explosion pictures; false when all ten
// have been shown and the body is gone.
bool explosion_step(FrameOutput& out, const ExplosionFrames& pictures, int32_t& explosion_frame, float x, float y);

// The steps of a frame, each over its bodies in slot order: they move, test
// contacts, animate, draw and cue their sounds.
void asteroids_step(World& w, FrameOutput& out);
void ship_step(World& w, FrameOutput& out);
// Launches a shot from the ship on an input frame with SPACE down and a slot free.
void fire_shot(World& w, FrameOutput& out);
void shots_step(World& w, FrameOutput& out);
void astronaut_step(World& w, FrameOutput& out);
// The status line: the astronaut's air, its rescue or its loss.
void draw_astronaut_status(const World& w, FrameOutput& out);

// Text colours, as COLORREF 0x00BBGGRR: the shadows', the steady texts',
// the failed rescue's and the prompts'.
constexpr uint32_t SHADOW_GREY = 4210752;  // (64, 64, 64)
constexpr uint32_t TEXT_GREEN = 65280;     // (0, 255, 0)
constexpr uint32_t TEXT_RED = 0x1414FF;    // (255, 20, 20)
constexpr uint32_t TEXT_ORANGE = 16584;    // (200, 64, 0)
// A fresh flashing colour from three draws: blue, green, then red.
uint32_t random_colour();
// A text in its colour over its dark grey shadow, 4 pixels right and down.
void draw_shadowed(FrameOutput& out, const char* text, int x, int y, uint32_t colour, FlashingText flashing);

// frame.cpp: one frame of the game. Reads `keys` (the frame's keys, fixed
// for the whole frame) into the World, steps it and appends to `out` what the
// frame drew, showed and sounded. Returns 0 without doing anything once ESC
// has been seen, else 1.
int run_frame(World& w, const KeyState& keys, FrameOutput& out);
// The intro's start, after the first reset_level at start-up.
void start_intro(World& w);
