// The picture bank: every sprite picture cut from the sheets, by id, so that
// the World names pictures without holding surfaces. The bank owns each
// surface it is given and releases it once.
#pragma once

#include "graphics/surface.h"

constexpr int SPRITE_SLOTS = 128;

// Takes a surface into the bank; returns its id (1 and up), or -1 when the
// bank is full (the surface is then released).
int sprite_add(Surface* surface);
// The surface of an id; null for 0 or any id the bank never gave.
Surface* sprite_surface(int id);
// Releases every surface of the bank; ids given before name nothing after.
void sprites_release_all();
