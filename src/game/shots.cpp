// Shots: launched from the ship's centre, they fall toward the star like
// everything else, live 60 steps, and can strike the astronaut.
#include <cstdlib>

#include "audio/sfx.h"
#include "game/rules.h"

void fire_shot()
{
    World& w = world;
    if (w.frame_parity == 0 || !key_down(DIK_SPACE) || w.live_shots >= SHOT_SLOTS) return;
    w.live_shots += 1;
    for (Shot& s : w.shots) {
        if (s.state != STATE_GONE) continue;
        const Ship& ship = w.ship;
        s.state = STATE_ACTIVE;
        s.x = static_cast<float>(static_cast<double>(ship.x) + 11);
        s.y = static_cast<float>(static_cast<double>(ship.y) + 9);
        s.vx = static_cast<float>(static_cast<double>(w.cos_table[ship.heading]) * 5 + ship.vx * 0.5);
        s.vy = static_cast<float>(static_cast<double>(w.sin_table[ship.heading]) * 5 + ship.vy * 0.5);
        s.life = 60;
        // frame and tick go on from where this slot's last shot left them.
        break;
    }
    sfx_play(w.snd_projectile, 0);
}

void shots_step()
{
    World& w = world;
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
        if (astronaut.state == STATE_ACTIVE && std::abs(trunc_ref(s.x, 2) - trunc_ref(astronaut.x, 9)) < 11 &&
            std::abs(trunc_ref(s.y, 2) - trunc_ref(astronaut.y, 10)) < 12) {
            astronaut.state = STATE_DYING;
            w.score += (-10 * w.asteroid_count) / 2;
        }

        animate(s.frame, s.tick, 5, SHOT_SPRITE.frames);
        draw_sprite(s.frames[s.frame], s.x, s.y, SHOT_SPRITE);
    }
}
