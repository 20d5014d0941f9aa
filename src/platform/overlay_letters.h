// The letters the edge writes its overlays in (PAUSED, the best runs, the
// line that names a new best run): 5 x 7 cells each and a row below for the
// tails of g, j, p, q and y, scaled with the picture. Drawn by the edge on the
// way to the screen, never into the game's picture.
#pragma once

#include <cstdint>

// One row a byte from the top, the leftmost cell the highest of five bits.
using LetterRows = uint8_t[8];

// The rows of the letter at `text` (null for a space or a letter the
// overlays do not have) and how many bytes it takes: one, or three for an
// em dash in UTF-8.
const uint8_t* overlay_letter(const char* text, int& bytes);
