// BMP image files: the headers as the format stores them, the reader the game
// loads every image with, and a writer for the tools and tests that make them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/colour.h"

struct BITMAPFILEHEADER {
    uint16_t bfType;
    uint32_t bfSize;
    uint16_t bfReserved1;
    uint16_t bfReserved2;
    uint32_t bfOffBits;
};

struct BITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

struct PALETTEENTRY {
    uint8_t peRed;
    uint8_t peGreen;
    uint8_t peBlue;
};

constexpr uint16_t BMP_MAGIC = 0x4D42;  // "BM"
constexpr size_t BMP_FILE_HEADER_BYTES = 14;
constexpr size_t BMP_INFO_HEADER_BYTES = 40;  // the header the game writes; files may hold others
constexpr size_t BMP_PALETTE_BYTES = 1024;    // 256 entries of blue, green, red, reserved

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr uint32_t BI_JPEG = 4;
constexpr uint32_t BI_PNG = 5;

// An image as the game uses it. Palette images of 1, 4 or 8 bits, stored
// plain or run-length coded, come out as one byte a pixel: the info header
// then says 8 bits and holds the decoded size, while `file_bits` and the
// header's biSize and biCompression still say what the file held. Rows are
// always top first; biHeight keeps the file's sign.
struct LoadedBitmap {
    BITMAPFILEHEADER file_header;
    BITMAPINFOHEADER info_header;
    std::array<PALETTEENTRY, 256> palette;  // entries past the file's own are black
    uint8_t* pixels;
    size_t pixel_bytes;  // the size of pixels, for the cell copy's bounds check
    uint16_t file_bits;   // bits a pixel as stored
    int palette_entries;  // entries the file really holds
};

// "40-byte header, 8 bits, RLE8, 256 colours": what a file held, for the
// data checker's lines.
void bmp_describe(const LoadedBitmap& bitmap, char* out, size_t size);

// "" when every pixel of a loaded palette image indexes an entry the file
// holds; else what is missing. Only the splash's palette is shown, so there
// a missing entry is a colour the game has not got.
std::string bmp_palette_shortfall(const LoadedBitmap& bitmap);

// Bytes of one stored row: width x bits / 8, rounded up to a multiple of 4.
// 0 when the width or bit count is out of range.
int64_t bmp_row_stride(int32_t width, int bit_count);

// Reads the image at `path` into `bitmap`. Returns 1, or 0 with the file and
// the fault left in report_text() and no pixels held.
int bmp_read(LoadedBitmap& bitmap, const char* path);
// Frees the pixels; a bitmap that holds none is left as it is.
void bmp_release(LoadedBitmap& bitmap);

// The two headers' fields from and to their little-endian bytes (14 and 40);
// the caller has checked the bytes are there.
void bmp_decode_file_header(const uint8_t* bytes, BITMAPFILEHEADER& header);
void bmp_decode_info_header(const uint8_t* bytes, BITMAPINFOHEADER& header);
void bmp_encode_file_header(const BITMAPFILEHEADER& header, uint8_t* bytes);
void bmp_encode_info_header(const BITMAPINFOHEADER& header, uint8_t* bytes);

// An 8-bit image as a complete file: rows given top first, stored bottom
// first.
std::vector<uint8_t> bmp_encode_8bit(int width, int height, const uint8_t* top_first_pixels, const Palette& palette);
// bmp_encode_8bit written to `path`: 1, or 0 when the file cannot be written.
int bmp_write_8bit(const char* path, int width, int height, const uint8_t* top_first_pixels, const Palette& palette);
