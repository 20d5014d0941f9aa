// The nine images as the game cuts them: the exact size each must have, and
// the one reader that holds an image to it, shared by the game, the data
// checker and the importer so that all three say the same.
#pragma once

#include <string>

#include "base/data_files.h"
#include "formats/bmp.h"

struct ImageDemand {
    int width;  // of the whole image
    int height;
    int columns;  // cells; one 640 x 480 cell for a screen
    int rows;
    int cell_width;
    int cell_height;
    bool grid;  // cells framed by a 1-pixel grid line
};

bool is_image(DataFile file);  // one of the nine, not a sound or a track
// Only for an image.
ImageDemand image_demand(DataFile file);
// "513 x 32 (16 cells of 31 x 30 in a 1-pixel grid)": the size wanted.
std::string image_size_text(DataFile file);
// "" when an image of these bits a pixel (as decoded) and this size is what
// the game cuts, else why not, naming the size wanted.
std::string image_fault(DataFile file, int bits, int width, int height);
// The same for a loaded image; the splash must also hold every palette entry
// its pixels use.
std::string image_fault(DataFile file, const LoadedBitmap& image);
// bmp_read held to image_fault; 0 with the failure reported as "path: why".
int image_read(LoadedBitmap& image, DataFile file);
