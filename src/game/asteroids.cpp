// Asteroids: motion, the asteroid-against-ship and asteroid-against-shot
// contact tests, animation, drawing and the explosion that scores them.
#include <cstdlib>

#include "game/rules.h"

// The asteroid's reference point, on both axes.
constexpr double ASTEROID_REF = 13;
// Contact limits: the ship's reference point against the asteroid's.
constexpr int SHIP_CONTACT_X = 24;
constexpr int SHIP_CONTACT_Y = 22;
// A shot's reference point, on both axes, and its contact limit.
constexpr double SHOT_REF_ON_ASTEROID = 8;
constexpr int SHOT_CONTACT = 15;
// Points for an asteroid whose explosion has been shown.
constexpr int ASTEROID_SCORE = 10;

static void step_active(World& w, Asteroid& a, FrameOutput& out)
{
    gravity_step(a.x, a.y, a.vx, a.vy, ASTEROID_MOTION, w.star);

    // The test ignores the ship's state: an asteroid can set a dying or
    // gone ship dying again, and the explosion sounds once more.
    const int ax = trunc_ref(a.x, ASTEROID_REF);
    const int ay = trunc_ref(a.y, ASTEROID_REF);
    if (std::abs(trunc_ref(w.ship.x, SHIP_REF_X) - ax) < SHIP_CONTACT_X &&
        std::abs(trunc_ref(w.ship.y, SHIP_REF_Y) - ay) < SHIP_CONTACT_Y) {
        w.ship.state = STATE_DYING;
        output_cue(out, CUE_EFFECT_PLAY, w.snd_explosion);
    }

    // Every overlapping shot is used up, though the asteroid dies once.
    for (Shot& s : w.shots) {
        if (s.state != STATE_ACTIVE) continue;
        if (std::abs(trunc_ref(s.x, SHOT_REF_ON_ASTEROID) - ax) < SHOT_CONTACT &&
            std::abs(trunc_ref(s.y, SHOT_REF_ON_ASTEROID) - ay) < SHOT_CONTACT) {
            w.live_shots -= 1;
            a.state = STATE_DYING;
            s.state = STATE_GONE;
            output_cue(out, CUE_EFFECT_PLAY, w.snd_explosion);
        }
    }

    animate(a.frame, a.tick, a.delay, ASTEROID_SPRITE.frames);
    draw_sprite(out, a.frames[a.frame], a.x, a.y, ASTEROID_SPRITE);
}

static void step_dying(World& w, Asteroid& a, FrameOutput& out)
{
    if (!explosion_step(out, a.explosion_frames, a.explosion_frame, a.x, a.y)) {
        w.score += ASTEROID_SCORE;
        w.asteroids_left -= 1;
        a.state = STATE_GONE;
    }
}

void asteroids_step(World& w, FrameOutput& out)
{
    for (Asteroid& a : w.asteroids) {
        if (a.state == STATE_ACTIVE) {
            step_active(w, a, out);
        } else if (a.state == STATE_DYING) {
            step_dying(w, a, out);
        }
    }
}
