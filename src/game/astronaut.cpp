// The astronaut: its air, its drift, its death, and the status line that
// tells the player how it is doing; and the flashing colours' random draws.
#include <cstdio>

#include "game/rules.h"

// Steps each picture of the astronaut's tumble shows, less one.
constexpr int ASTRONAUT_ANIMATION_TICKS = 10;
// Air is counted in steps; the status line shows it in seconds of frames.
constexpr int AIR_STEPS_PER_SECOND = 30;
// Below this much air the status line flashes.
constexpr int LOW_AIR = 150;
// Where the status line stands.
constexpr int STATUS_X = 50;
constexpr int STATUS_Y = 5;
// A colour part is a draw modulo 256, shifted into its place in a COLORREF.
constexpr int COLOUR_LEVELS = 256;
constexpr int GREEN_SHIFT = 8;
constexpr int BLUE_SHIFT = 16;

uint32_t random_colour()
{
    const uint32_t blue = static_cast<uint32_t>(game_rand() % COLOUR_LEVELS);
    const uint32_t green = static_cast<uint32_t>(game_rand() % COLOUR_LEVELS);
    const uint32_t red = static_cast<uint32_t>(game_rand() % COLOUR_LEVELS);
    return red | (green << GREEN_SHIFT) | (blue << BLUE_SHIFT);
}

void astronaut_step(World& w, FrameOutput& out)
{
    Astronaut& astronaut = w.astronaut;
    if (astronaut.state == STATE_ACTIVE) {
        // Out of air: dying from now, but this frame it still drifts.
        if (astronaut.air == 0) {
            astronaut.state = STATE_DYING;
        } else {
            astronaut.air -= 1;
        }
        gravity_step(astronaut.x, astronaut.y, astronaut.vx, astronaut.vy, ASTRONAUT_MOTION, w.star);
        animate(astronaut.frame, astronaut.tick, ASTRONAUT_ANIMATION_TICKS, ASTRONAUT_SPRITE.frames);
        draw_sprite(out, astronaut.frames[astronaut.frame], astronaut.x, astronaut.y, ASTRONAUT_SPRITE);
    } else if (astronaut.state == STATE_DYING) {
        astronaut.air = 0;
        if (astronaut.explosion_frame == 0) output_cue(out, CUE_EFFECT_PLAY, w.snd_ahh);
        if (!explosion_step(out, astronaut.explosion_frames, astronaut.explosion_frame, astronaut.x, astronaut.y)) {
            astronaut.state = STATE_GONE;
        }
    }
}

void draw_astronaut_status(const World& w, FrameOutput& out)
{
    const Astronaut& astronaut = w.astronaut;
    char text[DRAW_TEXT_BYTES];
    uint32_t colour;
    FlashingText flashing = NOT_FLASHING;
    if (astronaut.air <= 0) {
        std::snprintf(text, sizeof text, "Astronaut Rescue FAILED");
        colour = TEXT_RED;
    } else if (astronaut.state == STATE_ACTIVE) {
        std::snprintf(text, sizeof text, "Astronaut Air Left: %d", astronaut.air / AIR_STEPS_PER_SECOND);
        colour = TEXT_GREEN;
        if (astronaut.air < LOW_AIR) {
            colour = random_colour();
            flashing = FLASHING_LOW_AIR;
        }
    } else {
        std::snprintf(text, sizeof text, "Astronaut Rescued!");
        colour = TEXT_GREEN;
    }
    draw_shadowed(out, text, STATUS_X, STATUS_Y, colour, flashing);
}
