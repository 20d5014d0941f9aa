// The game rules: level set-up, the per-body steps and the frame.
#pragma once

#include <cstdint>

#include "game/world.h"

// Keyboard scan codes the rules read (physical PC key positions).
constexpr int DIK_ESCAPE = 1;
constexpr int DIK_RETURN = 28;
constexpr int DIK_SPACE = 57;
constexpr int DIK_UP = 200;
constexpr int DIK_LEFT = 203;
constexpr int DIK_RIGHT = 205;
constexpr int DIK_DOWN = 208;

// level.cpp: the one random generator; its state starts at 1 with the
// process and is never reseeded.
extern uint32_t rand_state;
int game_rand();
void build_heading_tables();
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

// frame.cpp
int run_frame();
void show_intro_frame();
void show_level_clear();
