// The astronaut: its air, its drift, its death, and the status line that
// tells the player how it is doing.
#include <cstdio>

#include "audio/sfx.h"
#include "game/rules.h"

uint32_t random_colour()
{
    const uint32_t blue = static_cast<uint32_t>(game_rand() % 256);
    const uint32_t green = static_cast<uint32_t>(game_rand() % 256);
    const uint32_t red = static_cast<uint32_t>(game_rand() % 256);
    return red | (green << 8) | (blue << 16);
}

void astronaut_step()
{
    Astronaut& astronaut = world.astronaut;
    if (astronaut.state == STATE_ACTIVE) {
        // Out of air: dying from now, but this frame it still drifts.
        if (astronaut.air == 0) {
            astronaut.state = STATE_DYING;
        } else {
            astronaut.air -= 1;
        }
        gravity_step(astronaut.x, astronaut.y, astronaut.vx, astronaut.vy, ASTRONAUT_MOTION, world.star);
        animate(astronaut.frame, astronaut.tick, 10, ASTRONAUT_SPRITE.frames);
        draw_sprite(astronaut.frames[astronaut.frame], astronaut.x, astronaut.y, ASTRONAUT_SPRITE);
    } else if (astronaut.state == STATE_DYING) {
        astronaut.air = 0;
        if (astronaut.explosion_frame == 0) sfx_play(world.snd_ahh, 0);
        if (!explosion_step(astronaut.explosion_frames, astronaut.explosion_frame, astronaut.x, astronaut.y)) {
            astronaut.state = STATE_GONE;
        }
    }
}

void draw_astronaut_status()
{
    const Astronaut& astronaut = world.astronaut;
    char text[256];
    uint32_t colour;
    if (astronaut.air <= 0) {
        std::snprintf(text, sizeof text, "Astronaut Rescue FAILED");
        colour = TEXT_RED;
    } else if (astronaut.state == STATE_ACTIVE) {
        std::snprintf(text, sizeof text, "Astronaut Air Left: %d", astronaut.air / 30);
        colour = astronaut.air >= 150 ? TEXT_GREEN : random_colour();
    } else {
        std::snprintf(text, sizeof text, "Astronaut Rescued!");
        colour = TEXT_GREEN;
    }
    draw_shadowed(text, 50, 5, colour);
}
