// The player's ship: steering on input frames, thrust and brake, motion, the
// star and rescue tests, drawing, firing, and its explosion.
#include <cmath>
#include <cstdlib>

#include "game/rules.h"

// The speed thrust adds along the heading, and braking takes off, each step.
constexpr double THRUST_STEP = 0.5;
constexpr double BRAKE_STEP = 0.25;
// The star's contact box, centred on (star x + 14, star y + 8), against the
// ship's reference point.
constexpr double STAR_REF_X = 14;
constexpr double STAR_REF_Y = 8;
constexpr int STAR_CONTACT_X = 25;
constexpr int STAR_CONTACT_Y = 17;
// The astronaut's contact limits against the ship's reference point.
constexpr int RESCUE_CONTACT_X = 20;
constexpr int RESCUE_CONTACT_Y = 19;
// The rescue bonus for each asteroid of the level.
constexpr int RESCUE_SCORE_PER_ASTEROID = 10;

static void steer(const World& w, Ship& ship)
{
    ship.thrust = key_down(w, DIK_UP) ? THRUST_FORWARD : THRUST_NONE;
    if (key_down(w, DIK_DOWN)) ship.thrust = THRUST_BRAKE;
    if (key_down(w, DIK_RIGHT)) ship.heading += 1;
    if (key_down(w, DIK_LEFT)) ship.heading -= 1;
}

static void thrust_or_brake(const World& w, Ship& ship, FrameOutput& out)
{
    if (ship.thrust == THRUST_NONE) return;
    output_cue(out, CUE_EFFECT_PLAY_IF_SILENT, w.snd_engines);
    if (ship.thrust == THRUST_FORWARD) {
        ship.vx = static_cast<float>(ship.vx + static_cast<double>(w.cos_table[ship.heading]) * THRUST_STEP);
        ship.vy = static_cast<float>(ship.vy + static_cast<double>(w.sin_table[ship.heading]) * THRUST_STEP);
        return;
    }
    const double s = std::sqrt(static_cast<double>(ship.vx) * ship.vx + static_cast<double>(ship.vy) * ship.vy);
    // A ship at rest has nothing to brake.
    if (s != 0.0) {
        const float vx = ship.vx;
        const float vy = ship.vy;
        ship.vx = static_cast<float>(vx - (vx * BRAKE_STEP) / s);
        ship.vy = static_cast<float>(vy - (vy * BRAKE_STEP) / s);
    }
}

static void step_active(World& w, Ship& ship, FrameOutput& out)
{
    if (w.frame_parity == 1) steer(w, ship);
    if (ship.heading < 0) {
        ship.heading = HEADINGS - 1;
    } else if (ship.heading > HEADINGS - 1) {
        ship.heading = 0;
    }
    thrust_or_brake(w, ship, out);

    gravity_step(ship.x, ship.y, ship.vx, ship.vy, SHIP_MOTION, w.star);

    const int sx = trunc_ref(ship.x, SHIP_REF_X);
    const int sy = trunc_ref(ship.y, SHIP_REF_Y);
    if (std::abs(sx - trunc_ref(w.star.x, STAR_REF_X)) < STAR_CONTACT_X &&
        std::abs(sy - trunc_ref(w.star.y, STAR_REF_Y)) < STAR_CONTACT_Y) {
        ship.state = STATE_DYING;
        output_cue(out, CUE_EFFECT_PLAY, w.snd_explosion);
    }

    Astronaut& astronaut = w.astronaut;
    if (astronaut.state == STATE_ACTIVE && std::abs(sx - trunc_ref(astronaut.x, ASTRONAUT_REF_X)) < RESCUE_CONTACT_X &&
        std::abs(sy - trunc_ref(astronaut.y, ASTRONAUT_REF_Y)) < RESCUE_CONTACT_Y) {
        astronaut.state = STATE_GONE;
        output_cue(out, CUE_EFFECT_PLAY, w.snd_energize);
        w.score += RESCUE_SCORE_PER_ASTEROID * w.asteroid_count;
    }

    const SpriteId picture =
        ship.thrust == THRUST_FORWARD ? ship.thrust_frames[ship.heading] : ship.frames[ship.heading];
    draw_sprite(out, picture, ship.x, ship.y, SHIP_SPRITE);

    fire_shot(w, out);
}

static void step_dying(World& w, Ship& ship, FrameOutput& out)
{
    if (!explosion_step(out, ship.explosion_frames, ship.explosion_frame, ship.x, ship.y)) {
        ship.state = STATE_GONE;
        w.phase = PHASE_GAME_OVER;
    }
}

void ship_step(World& w, FrameOutput& out)
{
    Ship& ship = w.ship;
    if (ship.state == STATE_ACTIVE) {
        step_active(w, ship, out);
    } else if (ship.state == STATE_DYING) {
        step_dying(w, ship, out);
    }
}
