// The BMP reader as the game calls it, on a file, and the cell copies that
// cut sprites out of what it read.
//
// Beyond "no crash, no sanitizer report", every run checks the reader
// against what the bytes say: a file is accepted exactly when its sizes add
// up, the pixels are the file's rows turned top first, and a cell is copied
// exactly when it lies inside the sheet and its surface, and then holds the
// sheet's bytes.
#include <SDL.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <utility>

#include "base/bytes.h"
#include "base/report.h"
#include "formats/bmp.h"
#include "fuzz_file.h"
#include "graphics/surface.h"

namespace {

// Where the reader takes the pixels from: straight after the headers and,
// for 8 bits, the 256-entry palette.
size_t pixel_offset(int bits) { return 54 + (bits == 8 ? 1024 : 0); }

bool should_accept(const uint8_t* data, size_t size)
{
    if (size < 54 || get16le(data) != 0x4D42) return false;
    const auto width = static_cast<int32_t>(get32le(data + 18));
    const auto height = static_cast<int32_t>(get32le(data + 22));
    const int bits = get16le(data + 28);
    const uint32_t image = get32le(data + 34);
    if (bits == 8 && size < 54 + 1024) return false;
    if (bits != 8 && bits != 16 && bits != 24) return false;
    if (width <= 0 || height == 0 || height == INT32_MIN) return false;
    const int64_t stride = ((int64_t{width} * bits + 31) / 32) * 4;
    const int64_t rows = height > 0 ? int64_t{height} : -int64_t{height};
    const int64_t limit = 64ll << 20;
    if (stride > limit || rows > limit || stride * rows > limit || image < stride * rows || image > limit)
        return false;
    return size - pixel_offset(bits) >= image;
}

Surface* surface_of(int w, int h)
{
    // Kept for the whole run, never destroyed: the leak check at exit must
    // still see them.
    static auto* made = new std::map<std::pair<int, int>, Surface*>;
    Surface*& s = (*made)[{w, h}];
    if (!s) s = surface_create(w, h, DDSCAPS_VIDEOMEMORY, 0);
    FUZZ_CHECK(s != nullptr);
    return s;
}

void check_cell(const LoadedBitmap& bitmap, int64_t stride, int64_t rows, int w, int h, int column, int row,
                int bordered, Surface* surface)
{
    const BITMAPINFOHEADER& info = bitmap.info_header;
    const int64_t x0 = bordered ? int64_t{column} * (w + 1) + 1 : int64_t{column} * w;
    const int64_t y0 = bordered ? int64_t{row} * (h + 1) + 1 : int64_t{row} * h;
    const bool inside = info.biBitCount == 8 && w > 0 && h > 0 && x0 >= 0 && y0 >= 0 && x0 + w <= info.biWidth &&
                        y0 + h <= rows && w <= surface->w && h <= surface->h;
    const int copied = surface_fill_from_cell(bitmap, surface, w, h, column, row, bordered);
    FUZZ_CHECK(copied == (inside ? 1 : 0));
    if (!copied) return;
    const auto* pixels = static_cast<const uint8_t*>(surface->pixels);
    for (int r = 0; r < h; ++r) {
        FUZZ_CHECK(std::memcmp(pixels + static_cast<size_t>(r) * surface->pitch,
                               bitmap.pixels + (y0 + r) * stride + x0, static_cast<size_t>(w)) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = fuzz_write_file(data, size, ".bmp");
    report_clear();
    LoadedBitmap bitmap{};
    const int ok = bmp_read(bitmap, path);
    FUZZ_CHECK(ok == (should_accept(data, size) ? 1 : 0));
    if (!ok) {
        FUZZ_CHECK(bitmap.pixels == nullptr);
        FUZZ_CHECK(std::strncmp(report_text(), path, std::strlen(path)) == 0);
        return 0;
    }

    const BITMAPINFOHEADER& info = bitmap.info_header;
    const int bits = info.biBitCount;
    const int64_t stride = bmp_row_stride(info.biWidth, bits);
    const int64_t rows = info.biHeight > 0 ? int64_t{info.biHeight} : -int64_t{info.biHeight};
    FUZZ_CHECK(bitmap.pixel_bytes == info.biSizeImage);
    FUZZ_CHECK(int64_t(bitmap.pixel_bytes) >= stride * rows);

    // Rows top first; whatever lies past the last row stays as stored.
    const uint8_t* stored = data + pixel_offset(bits);
    for (int64_t r = 0; r < rows; ++r) {
        const int64_t from = info.biHeight > 0 ? rows - 1 - r : r;
        FUZZ_CHECK(std::memcmp(bitmap.pixels + r * stride, stored + from * stride, static_cast<size_t>(stride)) == 0);
    }
    const size_t rest = bitmap.pixel_bytes - static_cast<size_t>(stride * rows);
    FUZZ_CHECK(std::memcmp(bitmap.pixels + stride * rows, stored + stride * rows, rest) == 0);
    if (bits == 8) {
        const uint8_t* quads = data + 54;
        for (int i = 0; i < 256; ++i) {
            const PALETTEENTRY& e = bitmap.palette[i];
            FUZZ_CHECK(e.peRed == quads[4 * i + 2] && e.peGreen == quads[4 * i + 1] && e.peBlue == quads[4 * i] &&
                       e.peFlags == PC_NOCOLLAPSE);
        }
    }

    // The cells the game cuts, as it cuts them.
    struct Sheet {
        int w, h, count, rows, bordered;
    };
    constexpr Sheet GAME_SHEETS[] = {{8, 8, 3, 1, 1},   {42, 36, 10, 1, 1}, {18, 20, 6, 1, 1},  {30, 24, 5, 1, 1},
                                     {31, 30, 16, 1, 1}, {22, 18, 16, 2, 1}, {640, 480, 1, 1, 0}};
    for (const Sheet& s : GAME_SHEETS) {
        Surface* surface = surface_of(s.w, s.h);
        for (int row = 0; row < s.rows; ++row)
            for (int column = 0; column < s.count; ++column)
                check_cell(bitmap, stride, rows, s.w, s.h, column, row, s.bordered, surface);
    }
    // Cells at the sheet's own edges: the whole sheet, and the next cell over.
    const int w = static_cast<int>(std::min<int64_t>(info.biWidth, 64));
    const int h = static_cast<int>(std::min<int64_t>(rows, 64));
    Surface* edge = surface_of(64, 64);
    for (int bordered = 0; bordered < 2; ++bordered) {
        check_cell(bitmap, stride, rows, w, h, 0, 0, bordered, edge);
        check_cell(bitmap, stride, rows, w, h, 1, 0, bordered, edge);
        check_cell(bitmap, stride, rows, w, h, 0, 1, bordered, edge);
        if (w > 1 && h > 1) check_cell(bitmap, stride, rows, w - 1, h - 1, 0, 0, bordered, edge);
    }
    // And one the input chooses, sizes and places included, from its last bytes.
    const uint8_t* tail = data + size - 4;
    check_cell(bitmap, stride, rows, tail[0] % 72, tail[1] % 72, static_cast<int8_t>(tail[2]),
               static_cast<int8_t>(tail[3]), tail[2] & 1, edge);

    bmp_release(bitmap);
    FUZZ_CHECK(bitmap.pixels == nullptr);
    return 0;
}
