// Shots: launched from the ship's centre, they fall toward the star like
// everything else, live 60 steps, and can strike the astronaut.
#include <cstdlib>

#include "game/rules.h"

// A shot leaves at this speed along the heading, plus this share of the
// ship's velocity, and lives this many steps.
constexpr double SHOT_SPEED = 5;
constexpr double SHIP_VELOCITY_SHARE = 0.5;
constexpr int SHOT_LIFE = 60;
// A shot's reference point, on both axes, and its contact limits against the
// astronaut's.
constexpr double SHOT_REF_ON_ASTRONAUT = 2;
constexpr int ASTRONAUT_CONTACT_X = 11;
constexpr int ASTRONAUT_CONTACT_Y = 12;
// Points lost for each asteroid of the level, halved, when a shot kills the
// astronaut.
constexpr int PENALTY_PER_ASTEROID = -10;
// Steps each picture of a shot's spin shows, less one.
constexpr int SHOT_ANIMATION_TICKS = 5;

void fire_shot(World& w, FrameOutput& out)
{
    if (w.frame_parity == 0 || !key_down(w, DIK_SPACE) || w.live_shots >= SHOT_SLOTS) return;
    w.live_shots += 1;
    for (Shot& s : w.shots) {
        if (s.state != STATE_GONE) continue;
        const Ship& ship = w.ship;
        s.state = STATE_ACTIVE;
        s.x = static_cast<float>(static_cast<double>(ship.x) + SHIP_REF_X);
        s.y = static_cast<float>(static_cast<double>(ship.y) + SHIP_REF_Y);
        s.vx = static_cast<float>(static_cast<double>(w.cos_table[ship.heading]) * SHOT_SPEED +
                                  ship.vx * SHIP_VELOCITY_SHARE);
        s.vy = static_cast<float>(static_cast<double>(w.sin_table[ship.heading]) * SHOT_SPEED +
                                  ship.vy * SHIP_VELOCITY_SHARE);
        s.life = SHOT_LIFE;
        // frame and tick go on from where this slot's last shot left them.
        break;
    }
    output_cue(out, CUE_EFFECT_PLAY, w.snd_projectile);
}

void shots_step(World& w, FrameOutput& out)
{
    for (Shot& s : w.shots) {
        if (s.state != STATE_ACTIVE) continue;
        // An expiring shot still flies, strikes and is drawn this once.
        if (s.life == 0) {
            s.state = STATE_GONE;
            w.live_shots -= 1;
        } else {
            s.life -= 1;
        }

        gravity_step(s.x, s.y, s.vx, s.vy, SHOT_MOTION, w.star);

        Astronaut& astronaut = w.astronaut;
        if (astronaut.state == STATE_ACTIVE &&
            std::abs(trunc_ref(s.x, SHOT_REF_ON_ASTRONAUT) - trunc_ref(astronaut.x, ASTRONAUT_REF_X)) < ASTRONAUT_CONTACT_X &&
            std::abs(trunc_ref(s.y, SHOT_REF_ON_ASTRONAUT) - trunc_ref(astronaut.y, ASTRONAUT_REF_Y)) < ASTRONAUT_CONTACT_Y) {
            astronaut.state = STATE_DYING;
            w.score += (PENALTY_PER_ASTEROID * w.asteroid_count) / 2;
        }

        animate(s.frame, s.tick, SHOT_ANIMATION_TICKS, SHOT_SPRITE.frames);
        draw_sprite(out, s.frames[s.frame], s.x, s.y, SHOT_SPRITE);
    }
}
