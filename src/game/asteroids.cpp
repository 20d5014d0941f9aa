// Asteroids: motion, the asteroid-against-ship and asteroid-against-shot
// contact tests, animation, drawing and the explosion that scores them.
#include <cstdlib>

#include "audio/sfx.h"
#include "game/rules.h"
#include "graphics/display.h"

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

    if (a.tick < a.delay) {
        a.tick += 1;
    } else {
        a.tick = 0;
        a.frame = a.frame < 15 ? a.frame + 1 : 0;
    }
    surface_blit(a.frames[a.frame], static_cast<int>(a.x), static_cast<int>(a.y), 31, 30, display.back_buffer, 1);
}

static void step_dying(Asteroid& a)
{
    if (a.explosion_frame < EXPLOSION_FRAMES) {
        surface_blit(a.explosion_frames[a.explosion_frame], static_cast<int>(a.x), static_cast<int>(a.y), 42, 36,
                     display.back_buffer, 1);
        a.explosion_frame += 1;
    } else {
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
