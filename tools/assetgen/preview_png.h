// PNG output for the previews.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Rows top first, three bytes (red, green, blue) per pixel; 1 when written.
int png_write_rgb(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
