// The player's ship: steering on input frames, thrust and brake, motion, the
// star and rescue tests, drawing, firing, and its explosion.
#include <cmath>
#include <cstdlib>

#include "audio/sfx.h"
#include "game/rules.h"

static void start_engine_sound()
{
    if (sfx_status(world.snd_engines) == 0) sfx_play(world.snd_engines, 0);
}

static void step_active(Ship& ship)
{
    World& w = world;
    if (w.frame_parity == 1) {
        ship.thrust = key_down(DIK_UP) ? THRUST_FORWARD : THRUST_NONE;
        if (key_down(DIK_DOWN)) ship.thrust = THRUST_BRAKE;
        if (key_down(DIK_RIGHT)) ship.heading += 1;
        if (key_down(DIK_LEFT)) ship.heading -= 1;
    }
    if (ship.heading < 0) {
        ship.heading = 15;
    } else if (ship.heading > 15) {
        ship.heading = 0;
    }

    if (ship.thrust == THRUST_FORWARD) {
        start_engine_sound();
        ship.vx = static_cast<float>(ship.vx + static_cast<double>(w.cos_table[ship.heading]) * 0.5);
        ship.vy = static_cast<float>(ship.vy + static_cast<double>(w.sin_table[ship.heading]) * 0.5);
    } else if (ship.thrust == THRUST_BRAKE) {
        start_engine_sound();
        const double s = std::sqrt(static_cast<double>(ship.vx) * ship.vx + static_cast<double>(ship.vy) * ship.vy);
        // A ship at rest has nothing to brake.
        if (s != 0.0) {
            const float vx = ship.vx;
            const float vy = ship.vy;
            ship.vx = static_cast<float>(vx - (vx * 0.25) / s);
            ship.vy = static_cast<float>(vy - (vy * 0.25) / s);
        }
    }

    gravity_step(ship.x, ship.y, ship.vx, ship.vy, SHIP_MOTION, w.star);

    const int sx = trunc_ref(ship.x, 11);
    const int sy = trunc_ref(ship.y, 9);
    if (std::abs(sx - trunc_ref(w.star.x, 14)) < 25 && std::abs(sy - trunc_ref(w.star.y, 8)) < 17) {
        ship.state = STATE_DYING;
        sfx_play(w.snd_explosion, 0);
    }

    Astronaut& astronaut = w.astronaut;
    if (astronaut.state == STATE_ACTIVE && std::abs(sx - trunc_ref(astronaut.x, 9)) < 20 &&
        std::abs(sy - trunc_ref(astronaut.y, 10)) < 19) {
        astronaut.state = STATE_GONE;
        sfx_play(w.snd_energize, 0);
        w.score += 10 * w.asteroid_count;
    }

    Surface* picture = ship.thrust == THRUST_FORWARD ? ship.thrust_frames[ship.heading] : ship.frames[ship.heading];
    draw_sprite(picture, ship.x, ship.y, SHIP_SPRITE);

    fire_shot();
}

static void step_dying(Ship& ship)
{
    if (!explosion_step(ship.explosion_frames, ship.explosion_frame, ship.x, ship.y)) {
        ship.state = STATE_GONE;
        world.phase = PHASE_GAME_OVER;
    }
}

void ship_step()
{
    Ship& ship = world.ship;
    if (ship.state == STATE_ACTIVE) {
        step_active(ship);
    } else if (ship.state == STATE_DYING) {
        step_dying(ship);
    }
}
