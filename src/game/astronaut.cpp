// The astronaut: its air, its drift, its death, and the status line that
// tells the player how it is doing.
#include <cstdio>

#include "audio/sfx.h"
#include "game/rules.h"
#include "graphics/display.h"

uint32_t random_colour()
{
    const uint32_t blue = static_cast<uint32_t>(game_rand() % 256);
    const uint32_t green = static_cast<uint32_t>(game_rand() % 256);
    const uint32_t red = static_cast<uint32_t>(game_rand() % 256);
    return red | (green << 8) | (blue << 16);
}

void astronaut_step()
{
    Astronaut& n = world.astronaut;
    if (n.state == STATE_ACTIVE) {
        // Out of air: dying from now, but this frame it still drifts.
        if (n.air == 0) {
            n.state = STATE_DYING;
        } else {
            n.air -= 1;
        }
        gravity_step(n.x, n.y, n.vx, n.vy, ASTRONAUT_MOTION, world.star);
        if (n.tick < 10) {
            n.tick += 1;
        } else {
            n.tick = 0;
            n.frame = n.frame < 5 ? n.frame + 1 : 0;
        }
        surface_blit(n.frames[n.frame], static_cast<int>(n.x), static_cast<int>(n.y), 18, 20, display.back_buffer, 1);
    } else if (n.state == STATE_DYING) {
        n.air = 0;
        if (n.explosion_frame >= EXPLOSION_FRAMES) {
            n.state = STATE_GONE;
            return;
        }
        if (n.explosion_frame == 0) sfx_play(world.snd_ahh, 0);
        surface_blit(n.explosion_frames[n.explosion_frame], static_cast<int>(n.x), static_cast<int>(n.y), 42, 36,
                     display.back_buffer, 1);
        n.explosion_frame += 1;
    }
}

void draw_astronaut_status()
{
    const Astronaut& n = world.astronaut;
    char text[256];
    uint32_t colour;
    if (n.air <= 0) {
        std::snprintf(text, sizeof text, "Astronaut Rescue FAILED");
        colour = TEXT_RED;
    } else if (n.state == STATE_ACTIVE) {
        std::snprintf(text, sizeof text, "Astronaut Air Left: %d", n.air / 30);
        colour = n.air >= 150 ? TEXT_GREEN : random_colour();
    } else {
        std::snprintf(text, sizeof text, "Astronaut Rescued!");
        colour = TEXT_GREEN;
    }
    text_draw(text, 54, 9, SHADOW_GREY, display.back_buffer);
    text_draw(text, 50, 5, colour, display.back_buffer);
}
