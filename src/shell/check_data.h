// The data checker for modders: what the game will make of each data file.
#pragma once

#include <cstdio>

// One line a data file, looked up as data_set_folders left them: where it
// comes from, its format, and what the game does with it (loaded, converted,
// or refused and why; for an image, whether its palette is the splash's).
// Returns 0 when the game would start on these files, 1 when not.
int check_data(std::FILE* out);
