// Level set-up: the random generator, the heading tables and reset_level.
#include <cmath>

#include "base/screen.h"
#include "game/rules.h"

// The generator: state * RAND_MULTIPLIER + RAND_INCREMENT modulo 2^32; a
// draw is bits 16 to 30 of the new state.
constexpr uint32_t RAND_MULTIPLIER = 214013u;
constexpr uint32_t RAND_INCREMENT = 2531011u;
constexpr int RAND_SHIFT = 16;
constexpr uint32_t RAND_MASK = 0x7FFF;
// The angle between two headings: a little short of pi/8, so headings 4, 8
// and 12 are not exactly axis-aligned; recorded runs depend on these very
// values.
constexpr double HEADING_STEP = 0.39269875;
// Asteroids on the first level; each level brings one more.
constexpr int FIRST_LEVEL_ASTEROIDS = 3;
// The star: its mass, its place, and the steps each of its pictures shows,
// less one.
constexpr float STAR_MASS = 50000.0f;
constexpr float STAR_X = 305.0f;
constexpr float STAR_Y = 228.0f;
constexpr int STAR_ANIMATION_TICKS = 4;
// An asteroid's mass is ASTEROID_BASE_MASS plus twice a draw below
// ASTEROID_MASS_DRAWS; it enters from the left at 3 or 4 pixels a step,
// with a vertical speed of -1 to 2, and shows each picture for 4 to 6 steps.
constexpr int ASTEROID_BASE_MASS = 50;
constexpr int ASTEROID_MASS_DRAWS = 100;
constexpr int ASTEROID_MIN_VX = 3;
constexpr int VY_DOWN_DRAWS = 3;
constexpr int ASTEROID_MIN_DELAY = 3;
constexpr int ASTEROID_DELAY_DRAWS = 3;
// The ship starts at rest on the right, facing right.
constexpr float SHIP_START_X = 600.0f;
constexpr float SHIP_START_Y = 240.0f;
// The astronaut starts in the left half, drifting right and down, with
// AIR_PER_LEVEL steps of air for each level and AIR_PER_LEVEL more.
constexpr float ASTRONAUT_START_VX = 2.0f;
constexpr float ASTRONAUT_START_VY = 1.0f;
constexpr int AIR_PER_LEVEL = 300;

uint32_t rand_state = 1;

int game_rand()
{
    rand_state = rand_state * RAND_MULTIPLIER + RAND_INCREMENT;
    return static_cast<int>((rand_state >> RAND_SHIFT) & RAND_MASK);
}

void build_heading_tables(World& w)
{
    for (int h = 0; h < HEADINGS; ++h) {
        const double angle = h * HEADING_STEP;
        w.sin_table[h] = static_cast<float>(std::sin(angle));
        w.cos_table[h] = static_cast<float>(std::cos(angle));
    }
}

static void stop_all_music(const World& w, FrameOutput& out)
{
    for (int id : w.music_tracks) output_cue(out, CUE_MUSIC_STOP, id);
}

static void reset_star(Star& star)
{
    star.mass = STAR_MASS;
    star.x = STAR_X;
    star.y = STAR_Y;
    star.vx = 0.0f;
    star.vy = 0.0f;
    star.frame = 0;
    star.tick = 0;
    star.delay = STAR_ANIMATION_TICKS;
    star.state = STATE_ACTIVE;
}

// Seven draws for every slot, active or not, in this order.
static void reset_asteroid(Asteroid& a, bool active)
{
    a.mass = static_cast<float>(ASTEROID_BASE_MASS + 2 * (game_rand() % ASTEROID_MASS_DRAWS));
    a.x = 0.0f;
    a.y = static_cast<float>(game_rand() % SCREEN_HEIGHT);
    a.vx = static_cast<float>(ASTEROID_MIN_VX + game_rand() % 2);
    const int r1 = game_rand();
    const int r2 = game_rand();
    a.vy = static_cast<float>((1 + r1 % 2) - r2 % VY_DOWN_DRAWS);
    a.tick = 0;
    a.frame = game_rand() % ASTEROID_SPRITE.frames;
    a.delay = ASTEROID_MIN_DELAY + game_rand() % ASTEROID_DELAY_DRAWS;
    a.explosion_frame = 0;
    a.state = active ? STATE_ACTIVE : STATE_GONE;
}

static void reset_ship(Ship& ship)
{
    ship.x = SHIP_START_X;
    ship.y = SHIP_START_Y;
    ship.vx = 0.0f;
    ship.vy = 0.0f;
    ship.heading = 0;
    ship.thrust = THRUST_NONE;
    ship.state = STATE_ACTIVE;
    ship.explosion_frame = 0;
}

static void reset_astronaut(Astronaut& astronaut, int level)
{
    astronaut.frame = 0;
    astronaut.tick = 0;
    astronaut.state = STATE_ACTIVE;
    astronaut.explosion_frame = 0;
    astronaut.x = static_cast<float>((game_rand() % SCREEN_WIDTH) / 2);
    astronaut.y = static_cast<float>(game_rand() % SCREEN_HEIGHT);
    astronaut.vx = ASTRONAUT_START_VX;
    astronaut.vy = ASTRONAUT_START_VY;
    astronaut.air = AIR_PER_LEVEL * level + AIR_PER_LEVEL;
}

int reset_level(World& w, int next_level, FrameOutput& out)
{
    w.frame_parity = 0;
    output_cue(out, CUE_EFFECTS_STOP_ALL, 0);
    stop_all_music(w, out);
    w.phase = PHASE_PLAYING;
    w.end_counter = 0;
    w.game_over_started = 0;
    w.live_shots = 0;
    output_cue(out, CUE_MUSIC_PLAY, w.music_tracks[game_rand() % MUSIC_TRACKS]);

    int asteroids;
    if (next_level == NEW_GAME) {
        w.level = 1;
        w.score = 0;
        asteroids = FIRST_LEVEL_ASTEROIDS;
    } else {
        w.level = w.level + 1;
        asteroids = w.asteroid_count + 1;
        if (asteroids > ASTEROID_SLOTS) asteroids = ASTEROID_SLOTS;
    }
    w.asteroids_left = asteroids;
    w.asteroid_count = asteroids;

    reset_star(w.star);
    for (int i = 0; i < ASTEROID_SLOTS; ++i) reset_asteroid(w.asteroids[i], i < asteroids);
    build_heading_tables(w);
    reset_ship(w.ship);
    for (Shot& s : w.shots) {
        s.frame = 0;
        s.tick = 0;
        s.state = STATE_GONE;
        s.x = s.y = s.vx = s.vy = 0.0f;
        s.life = 0;
        s.explosion_frame = 0;
    }
    reset_astronaut(w.astronaut, w.level);
    return 1;
}
