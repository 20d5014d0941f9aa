// PNG output for the previews, through the game's own PNG writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/png.h"

// Rows top first, three bytes (red, green, blue) per pixel; 1 when written.
inline int png_write_rgb(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb)
{
    if (width <= 0 || height <= 0 || rgb.size() != size_t(width) * size_t(height) * 3) return 0;
    return png_write_rgb(path.c_str(), width, height, rgb.data());
}
