// Loading the data files, in the game's fixed order: the splash, the
// backdrop and intro text, then (once the banks are open) four music tracks,
// seven effects and six sprite sheets. Each returns 1, or 0 at the first
// file that fails, with the reason left by report_failure.
#pragma once

#include "game/world.h"

// Reads the splash and shows it through its own palette, the one every
// image of the game is shown through.
int load_splash();
// The backdrop and the intro text, into the display.
int load_screen_images();
// The music and effects into their banks and the sprite sheets into the
// picture bank, their ids into the World. Records of one kind share one set
// of pictures.
int load_assets(World& w);
// Releases every sprite picture once and clears every id naming one; the
// display's own images stay.
void release_assets(World& w);
