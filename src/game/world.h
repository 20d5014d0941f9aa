// The World: every piece of game state, in one record that lives as long as
// the process. Records are plain data, their fields in a fixed order.
#pragma once

#include <array>
#include <cstdint>

#include "game/sprite_sizes.h"
#include "input/keys.h"

// What a body is doing: flying, showing its explosion, or out of the game.
enum BodyState : int32_t {
    STATE_ACTIVE = 100,
    STATE_DYING = 200,
    STATE_GONE = 300,
};

// Which screen a frame shows (see run_frame).
enum GamePhase : int32_t {
    PHASE_PLAYING = 10,
    PHASE_LEVEL_CLEAR = 20,
    PHASE_GAME_OVER = 30,
    PHASE_INTRO = 40,
};

// What the ship's engine does this step: nothing, push along the heading, or brake.
enum ThrustMode : int32_t {
    THRUST_NONE = 0,
    THRUST_FORWARD = 1,
    THRUST_BRAKE = 2,
};

// The most asteroids a level has, shots in flight, and music tracks.
constexpr int ASTEROID_SLOTS = 30;
constexpr int SHOT_SLOTS = 10;
constexpr int MUSIC_TRACKS = 4;

// A picture of a sprite sheet, by its id in the shell's picture bank; 0 names
// no picture, so a World fresh from World{} names none.
using SpriteId = int32_t;
// Frame lists: the pictures of one sprite sheet, 0 where a slot is unused.
// Records of one kind share the same pictures.
using AnimationFrames = std::array<SpriteId, 20>;       // an asteroid's turns, the ship's headings, the star's glow
using ShortAnimationFrames = std::array<SpriteId, 10>;  // a shot's spin, the astronaut's tumble
using ExplosionFrames = std::array<SpriteId, EXPLOSION_FRAMES>;

// An asteroid: its pictures and animation, position and velocity, mass (felt
// by no body: the star's alone pulls), explosion and state. The star shares
// this layout; it uses 5 frames and never moves.
struct Asteroid {
    AnimationFrames frames;
    int32_t frame;
    int32_t tick;
    int32_t delay;
    float x;
    float y;
    float vy;  // stored before vx in this record
    float vx;
    float mass;
    ExplosionFrames explosion_frames;
    int32_t explosion_frame;
    int32_t state;
};
using Star = Asteroid;

// A shot: its spin, explosion fields it never uses, state, position,
// velocity and the steps it has left.
struct Shot {
    ShortAnimationFrames frames;
    int32_t frame;
    int32_t tick;
    ExplosionFrames explosion_frames;  // always empty: shots never explode
    int32_t explosion_frame;
    int32_t state;
    float x;
    float y;
    float vx;
    float vy;
    int32_t life;
};

// Same layout as Shot; the last field counts air instead of flight.
struct Astronaut {
    ShortAnimationFrames frames;
    int32_t frame;
    int32_t tick;
    ExplosionFrames explosion_frames;
    int32_t explosion_frame;
    int32_t state;
    float x;
    float y;
    float vx;
    float vy;
    int32_t air;
};

// The player's ship: a picture for each heading, plain and thrusting, the
// heading and engine, position, velocity, explosion and state.
struct Ship {
    AnimationFrames frames;
    AnimationFrames thrust_frames;
    int32_t heading;
    int32_t thrust;
    float x;
    float y;
    float vx;
    float vy;
    ExplosionFrames explosion_frames;
    int32_t explosion_frame;
    int32_t state;
};

// Every piece of game state: the phase and counters, the bodies, the heading
// tables, the ids of the pictures, sounds and music, and the frame's keys.
struct World {
    int32_t phase;           // a GamePhase
    int32_t level;           // from 1
    int32_t score;
    int32_t asteroid_count;  // asteroids the level started with
    int32_t asteroids_left;  // of those, not yet shot and fully exploded
    int32_t live_shots;      // shots in flight
    int32_t end_counter;     // frames of play with the level's goals met, up to 90
    // Game over has its own flag so that a ship lost during the level-clear
    // delay still gets its game-over sound and silence.
    int32_t game_over_started;
    int32_t frame_parity;    // 1 on the frames that read the ship's keys
    int32_t intro_timer;     // intro frames left; below 0 the intro ends
    int32_t intro_scroll_y;  // the intro text's top edge
    int32_t quit_requested;  // ESC was seen: no frame runs any more

    Star star;
    std::array<Asteroid, ASTEROID_SLOTS> asteroids;
    std::array<Shot, SHOT_SLOTS> shots;
    Astronaut astronaut;
    Ship ship;

    std::array<float, HEADINGS> cos_table;
    std::array<float, HEADINGS> sin_table;

    ExplosionFrames explosion_frames;  // the ones every body's list borrows

    // Ids in the effect bank (-1 when the load failed): the astronaut's
    // death, the rescue, game over, a shot, the engines, an explosion, the
    // level's end; and the four tracks' ids in the music bank.
    int32_t snd_ahh;
    int32_t snd_energize;
    int32_t snd_gameover;
    int32_t snd_projectile;
    int32_t snd_engines;
    int32_t snd_explosion;
    int32_t snd_levcomp;
    std::array<int32_t, MUSIC_TRACKS> music_tracks;

    KeyState key_state;  // the frame's keys, by scan code
};
