// Asteroids: motion, the asteroid-against-ship and asteroid-against-shot
// contact tests, animation, drawing and the explosion that scores them.
#include <cstdlib>

#include "audio/sfx.h"
#include "game/rules.h"

static void step_active(Asteroid& a)
{
    World& w = world;
    gravity_step(a.x, a.y, a.vx, a.vy, ASTEROID_MOTION, w.star);

    // The test ignores the ship's state: an asteroid can set a dying or
    // gone ship dying again, and the explosion sounds once more.
    const int ax = trunc_ref(a.x, 13);
    const int ay = trunc_ref(a.y, 13);
    if (std::abs(trunc_ref(w.ship.x, 11) - ax) < 24 && std::abs(trunc_ref(w.ship.y, 9) - ay) < 22) {
        w.ship.state = STATE_DYING;
        sfx_play(w.snd_explosion, 0);
    }

    // Every overlapping shot is used up, though the asteroid dies once.
    for (Shot& s : w.shots) {
        if (s.state != STATE_ACTIVE) continue;
        if (std::abs(trunc_ref(s.x, 8) - ax) < 15 && std::abs(trunc_ref(s.y, 8) - ay) < 15) {
            w.live_shots -= 1;
            a.state = STATE_DYING;
            s.state = STATE_GONE;
            sfx_play(w.snd_explosion, 0);
        }
    }

    animate(a.frame, a.tick, a.delay, ASTEROID_SPRITE.frames);
    draw_sprite(a.frames[a.frame], a.x, a.y, ASTEROID_SPRITE);
}

static void step_dying(Asteroid& a)
{
    if (!explosion_step(a.explosion_frames, a.explosion_frame, a.x, a.y)) {
        world.score += 10;
        world.asteroids_left -= 1;
        a.state = STATE_GONE;
    }
}

void asteroids_step()
{
    for (Asteroid& a : world.asteroids) {
        if (a.state == STATE_ACTIVE) {
            step_active(a);
        } else if (a.state == STATE_DYING) {
            step_dying(a);
        }
    }
}
