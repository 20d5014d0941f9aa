// Loading every sprite sheet, sound effect and music track into the World,
// and releasing the sprites again.
#pragma once

// 1 when everything is loaded; 0 at the first file that fails.
int load_assets();
// Releases every sprite surface once and clears every reference to it; the
// display's own surfaces stay.
void release_assets();
