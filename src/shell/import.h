// kestrava --import: a picture made elsewhere turned into one of the game's
// images, in the palette of the splash the game would use.
#pragma once

#include <cstdio>

// Reads `picture` (PNG, or BMP of 1 to 8 bits with a palette, or 16, 24 or
// 32 bits)
// and writes `output`, whose name must be one of the game's images, as an
// 8-bit BMP in the splash's palette: each opaque pixel takes the nearest of
// entries 1 to 255 (squared distance in red, green and blue; a tie to the
// lower index), a fully transparent pixel, and index 0 of a palette BMP,
// index 0, the see-through colour. The picture must have the size the game
// cuts the image from. An existing `output` is never replaced. Returns 0
// with one line on `out`, or 1 with one line on standard error.
int import_picture(const char* picture, const char* output, std::FILE* out);
