// The data checker for modders: what the game will make of each data file.
#pragma once

#include <cstdio>

// One line a data file, looked up as data_set_folders left them: where it
// comes from (and where it was looked for first), its format, and what the
// game does with it: loaded, converted, or refused and why. Then one line a
// file of the data folder that the game does not read, naming the game's file
// its name comes near, and one line counting the images whose own palette
// is not the splash's (`verbose`: which entries differ, on each image's line).
// Returns 0 when the game would start on these files, 1 when not.
int check_data(std::FILE* out, bool verbose);
