// Level set-up: the random generator, the heading tables and reset_level.
#include <cmath>

#include "audio/midi.h"
#include "audio/sfx.h"
#include "game/rules.h"

World world;
uint32_t rand_state = 1;

int game_rand()
{
    rand_state = rand_state * 214013u + 2531011u;
    return static_cast<int>((rand_state >> 16) & 0x7FFF);
}

void build_heading_tables()
{
    // The step is a little short of pi/8, so headings 4, 8 and 12 are not
    // exactly axis-aligned; recorded runs depend on these very values.
    for (int h = 0; h < HEADINGS; ++h) {
        const double angle = h * 0.39269875;
        world.sin_table[h] = static_cast<float>(std::sin(angle));
        world.cos_table[h] = static_cast<float>(std::cos(angle));
    }
}

static void stop_all_music()
{
    for (int id : world.music_tracks) midi_stop(id);
}

int reset_level(int next_level)
{
    World& w = world;
    w.frame_parity = 0;
    sfx_stop_all();
    stop_all_music();
    w.phase = PHASE_PLAYING;
    w.end_counter = 0;
    w.game_over_started = 0;
    w.live_shots = 0;
    midi_play(w.music_tracks[game_rand() % 4]);

    int asteroids;
    if (next_level == NEW_GAME) {
        w.level = 1;
        w.score = 0;
        asteroids = 3;
    } else {
        w.level = w.level + 1;
        asteroids = w.asteroid_count + 1;
        if (asteroids > ASTEROID_SLOTS) asteroids = ASTEROID_SLOTS;
    }
    w.asteroids_left = asteroids;
    w.asteroid_count = asteroids;

    Star& star = w.star;
    star.mass = 50000.0f;
    star.x = 305.0f;
    star.y = 228.0f;
    star.vx = 0.0f;
    star.vy = 0.0f;
    star.frame = 0;
    star.tick = 0;
    star.delay = 4;
    star.state = STATE_ACTIVE;

    // Seven draws for every slot, active or not, in this order.
    for (int i = 0; i < ASTEROID_SLOTS; ++i) {
        Asteroid& a = w.asteroids[i];
        a.mass = static_cast<float>(50 + 2 * (game_rand() % 100));
        a.x = 0.0f;
        a.y = static_cast<float>(game_rand() % 480);
        a.vx = static_cast<float>(3 + game_rand() % 2);
        const int r1 = game_rand();
        const int r2 = game_rand();
        a.vy = static_cast<float>((1 + r1 % 2) - r2 % 3);
        a.tick = 0;
        a.frame = game_rand() % 16;
        a.delay = 3 + game_rand() % 3;
        a.explosion_frame = 0;
        a.state = i < asteroids ? STATE_ACTIVE : STATE_GONE;
    }

    build_heading_tables();

    Ship& ship = w.ship;
    ship.x = 600.0f;
    ship.y = 240.0f;
    ship.vx = 0.0f;
    ship.vy = 0.0f;
    ship.heading = 0;
    ship.thrust = THRUST_NONE;
    ship.state = STATE_ACTIVE;
    ship.explosion_frame = 0;

    for (Shot& s : w.shots) {
        s.frame = 0;
        s.tick = 0;
        s.state = STATE_GONE;
        s.x = s.y = s.vx = s.vy = 0.0f;
        s.life = 0;
        s.explosion_frame = 0;
    }

    Astronaut& astronaut = w.astronaut;
    astronaut.frame = 0;
    astronaut.tick = 0;
    astronaut.state = STATE_ACTIVE;
    astronaut.explosion_frame = 0;
    astronaut.x = static_cast<float>((game_rand() % 640) / 2);
    astronaut.y = static_cast<float>(game_rand() % 480);
    astronaut.vx = 2.0f;
    astronaut.vy = 1.0f;
    astronaut.air = 300 * w.level + 300;
    return 1;
}
