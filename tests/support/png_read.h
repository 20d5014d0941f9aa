// Reading PNG files back through libpng, for the tests of what the game and
// its tools write.
#pragma once

#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "formats/bmp.h"

struct PngFile {
    int width = 0;
    int height = 0;
    int colour_type = -1;
    int bit_depth = 0;
    std::vector<Colour> palette;
    std::vector<uint8_t> rows;  // packed, top first
};

inline bool read_png(const std::string& path, PngFile& out)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    out.width = static_cast<int>(png_get_image_width(png, info));
    out.height = static_cast<int>(png_get_image_height(png, info));
    out.colour_type = png_get_color_type(png, info);
    out.bit_depth = png_get_bit_depth(png, info);
    png_colorp colours = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &colours, &count) == PNG_INFO_PLTE) {
        for (int i = 0; i < count; ++i) out.palette.push_back(Colour{colours[i].red, colours[i].green, colours[i].blue});
    }
    const size_t row_bytes = png_get_rowbytes(png, info);
    out.rows.assign(row_bytes * static_cast<size_t>(out.height), 0);
    for (int y = 0; y < out.height; ++y) png_read_row(png, &out.rows[row_bytes * static_cast<size_t>(y)], nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return true;
}

