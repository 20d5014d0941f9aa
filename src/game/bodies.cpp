// What the bodies do alike: animation, drawing, explosions; and the texts
// drawn with a shadow.
#include <cstddef>

#include "game/rules.h"

// How far right of and below its text a shadow falls.
constexpr int SHADOW_OFFSET = 4;

void animate(int32_t& frame, int32_t& tick, int limit, int pictures)
{
    if (tick < limit) {
        tick += 1;
    } else {
        tick = 0;
        frame = frame < pictures - 1 ? frame + 1 : 0;
    }
}

void draw_sprite(FrameOutput& out, SpriteId picture, float x, float y, const SpriteSize& size)
{
    Draw& d = output_draw(out, DRAW_SPRITE, static_cast<int>(x), static_cast<int>(y));
    d.sprite = picture;
    d.width = size.width;
    d.height = size.height;
}

bool explosion_step(FrameOutput& out, const ExplosionFrames& pictures, int32_t& explosion_frame, float x, float y)
{
    if (explosion_frame >= EXPLOSION_FRAMES) return false;
    draw_sprite(out, pictures[static_cast<size_t>(explosion_frame)], x, y, EXPLOSION_SPRITE);
    explosion_frame += 1;
    return true;
}

void draw_shadowed(FrameOutput& out, const char* text, int x, int y, uint32_t colour, FlashingText flashing)
{
    output_text(out, text, x + SHADOW_OFFSET, y + SHADOW_OFFSET, SHADOW_GREY, NOT_FLASHING);
    output_text(out, text, x, y, colour, flashing);
}
