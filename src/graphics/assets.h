// Loading every sprite sheet, sound effect and music track into the World.
#pragma once

// 1 when everything is loaded; 0 at the first file that fails.
int load_assets();
