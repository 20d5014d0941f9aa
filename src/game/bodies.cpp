// What the bodies do alike: animation, drawing, explosions; and the texts
// drawn with a shadow.
#include <cstddef>

#include "game/rules.h"
#include "graphics/display.h"

void animate(int32_t& frame, int32_t& tick, int limit, int pictures)
{
    if (tick < limit) {
        tick += 1;
    } else {
        tick = 0;
        frame = frame < pictures - 1 ? frame + 1 : 0;
    }
}

void draw_sprite(Surface* picture, float x, float y, const SpriteSize& size)
{
    surface_blit(picture, static_cast<int>(x), static_cast<int>(y), size.width, size.height, display.back_buffer, 1);
}

bool explosion_step(const ExplosionFrames& pictures, int32_t& explosion_frame, float x, float y)
{
    if (explosion_frame >= EXPLOSION_FRAMES) return false;
    draw_sprite(pictures[static_cast<size_t>(explosion_frame)], x, y, EXPLOSION_SPRITE);
    explosion_frame += 1;
    return true;
}

void draw_shadowed(const char* text, int x, int y, uint32_t colour)
{
    text_draw(text, x + 4, y + 4, SHADOW_GREY, display.back_buffer);
    text_draw(text, x, y, colour, display.back_buffer);
}
