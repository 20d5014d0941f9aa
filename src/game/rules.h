// The game rules: level set-up, the per-body steps and the frame.
#pragma once

#include <cstdint>

#include "game/world.h"

// Whether a key was held at the frame's last keyboard poll.
inline bool key_down(int scan_code) { return world.key_state[static_cast<unsigned>(scan_code) & 0xFF] != 0; }

// level.cpp: the one random generator; its state starts at 1 with the
// process and is never reseeded.
extern uint32_t rand_state;
int game_rand();
void build_heading_tables();
// reset_level's argument: a new game from level 1, or the next level.
constexpr int NEW_GAME = 0;
constexpr int NEXT_LEVEL = 1;
int reset_level(int next_level);

// gravity.cpp
struct BodyMotion {
    double centre_x;
    double centre_y;
    bool near_cutoff;  // no pull closer than 15 pixels to the star
    float x_lo, x_hi;
    float y_lo, y_hi;
};
extern const BodyMotion ASTEROID_MOTION;
extern const BodyMotion SHIP_MOTION;
extern const BodyMotion SHOT_MOTION;
extern const BodyMotion ASTRONAUT_MOTION;
void gravity_step(float& x, float& y, float& vx, float& vy, const BodyMotion& motion, const Star& star);

// Contact tests truncate each reference point toward zero.
inline int trunc_ref(float v, double offset) { return static_cast<int>(static_cast<double>(v) + offset); }

// bodies.cpp: what every animated body does alike.
// One animation step: the tick counts up to `limit`, then the next of the
// body's `pictures` comes, after the last the first.
void animate(int32_t& frame, int32_t& tick, int limit, int pictures);
// Draws a picture of a body's sprite with its top-left corner at the body's
// position, truncated to whole pixels, keyed over the back buffer.
void draw_sprite(Surface* picture, float x, float y, const SpriteSize& size);
// Draws the next of the body's ten explosion pictures; false when all ten
// have been shown and the body is gone.
bool explosion_step(const ExplosionFrames& pictures, int32_t& explosion_frame, float x, float y);

void asteroids_step();
void ship_step();
void fire_shot();
void shots_step();
void astronaut_step();
void draw_astronaut_status();

// Text colours, as COLORREF 0x00BBGGRR.
constexpr uint32_t SHADOW_GREY = 4210752;  // (64, 64, 64)
constexpr uint32_t TEXT_GREEN = 65280;     // (0, 255, 0)
constexpr uint32_t TEXT_RED = 0x1414FF;    // (255, 20, 20)
constexpr uint32_t TEXT_ORANGE = 16584;    // (200, 64, 0)
// A fresh flashing colour from three draws: blue, green, then red.
uint32_t random_colour();
// With steady colours on, the three flashing texts show a colour for at
// least STEADY_COLOUR_MS and none darker than STEADY_MIN_LUMINANCE (of
// white's); the flashing colour is drawn all the same, so the random
// sequence and the game are the same either way.
enum FlashingText { FLASHING_GAME_OVER, FLASHING_LEVEL_SCORE, FLASHING_LOW_AIR, FLASHING_TEXTS };
constexpr uint32_t STEADY_COLOUR_MS = 500;
constexpr float STEADY_MIN_LUMINANCE = 0.25f;
void set_steady_colours(bool steady);
// The colour to show for the text, given the colour just drawn for it.
uint32_t shown_colour(FlashingText text, uint32_t drawn);
// A text in its colour over its dark grey shadow, 4 pixels right and down.
void draw_shadowed(const char* text, int x, int y, uint32_t colour);

// frame.cpp
int run_frame();
void show_intro_frame();
void show_level_clear();
