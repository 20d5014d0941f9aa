// The picture bank. Slot 0 stays empty: id 0 is "no picture".
#include "graphics/sprites.h"

// The bank's surfaces by id, and how many slots are taken, slot 0 included.
static Surface* sprite_slots[SPRITE_SLOTS];
static int sprites_used = 1;

int sprite_add(Surface* surface)
{
    if (sprites_used >= SPRITE_SLOTS) {
        surface_release(surface);
        return -1;
    }
    sprite_slots[sprites_used] = surface;
    return sprites_used++;
}

Surface* sprite_surface(int id) { return id > 0 && id < sprites_used ? sprite_slots[id] : nullptr; }

void sprites_release_all()
{
    for (int id = 1; id < sprites_used; ++id) {
        surface_release(sprite_slots[id]);
        sprite_slots[id] = nullptr;
    }
    sprites_used = 1;
}
