// The astronaut: its air, its drift, its death, and the status line that
// tells the player how it is doing.
#include <cstdio>

#include "audio/sfx.h"
#include "game/rules.h"
#include "graphics/display.h"
#include "platform/clock.h"

struct HeldColour {
    uint32_t colour;
    uint32_t since;  // the frame's tick count when it was taken
    bool taken;
};
static bool steady_colours;
static HeldColour held_colours[FLASHING_TEXTS];

void set_steady_colours(bool steady)
{
    steady_colours = steady;
    for (HeldColour& held : held_colours) held = HeldColour{};
}

uint32_t shown_colour(FlashingText text, uint32_t drawn)
{
    if (!steady_colours) return drawn;
    HeldColour& held = held_colours[text];
    if (!held.taken || static_cast<uint32_t>(frame_start - held.since) >= STEADY_COLOUR_MS) {
        held = HeldColour{text_colour_at_least(drawn, STEADY_MIN_LUMINANCE, display.back_buffer), frame_start, true};
    }
    return held.colour;
}

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
        colour = astronaut.air >= 150 ? TEXT_GREEN : shown_colour(FLASHING_LOW_AIR, random_colour());
    } else {
        std::snprintf(text, sizeof text, "Astronaut Rescued!");
        colour = TEXT_GREEN;
    }
    draw_shadowed(text, 50, 5, colour);
}
