// PNG files read back through the importer's decoder, for the tests of what
// the game and its tools write: the header's bit depth and colour type, and
// every pixel as red, green, blue and alpha.
#pragma once

#include <png.h>

#include <string>
#include <vector>

#include "formats/png.h"
#include "temp_dir.h"

struct PngFile {
    int width = 0;
    int height = 0;
    int colour_type = -1;
    int bit_depth = 0;
    std::vector<uint8_t> rgba;  // rows packed, top first
    // Pixel i shows that colour, opaque.
    bool shows(size_t i, uint8_t r, uint8_t g, uint8_t b) const
    {
        return rgba[4 * i] == r && rgba[4 * i + 1] == g && rgba[4 * i + 2] == b && rgba[4 * i + 3] == 255;
    }
};

inline bool read_png(const std::string& path, PngFile& out)
{
    const std::string bytes = file_text(path);
    const char* why = nullptr;
    if (bytes.size() < 26 || !png_decode_rgba({bytes.begin(), bytes.end()}, out.rgba, out.width, out.height, &why))
        return false;
    out.bit_depth = uint8_t(bytes[24]);
    out.colour_type = uint8_t(bytes[25]);
    return true;
}
