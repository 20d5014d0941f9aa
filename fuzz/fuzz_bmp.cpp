// The BMP reader as the game calls it, on a file, and the cell copies that
// cut sprites out of what it read.
//
// Beyond "no crash, no sanitizer report", every run checks the reader
// against what the bytes say: an accepted file has the header, size and
// kind its bytes declare, its decoded size is its rows' own, plain pixels
// are the file's rows turned top first, and a cell is copied exactly when it
// lies inside the sheet and its surface, and then holds the sheet's bytes.
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


// What the bytes say about the file, read independently of the reader: an
// accepted file must agree with it, and a plain 8-bit one must be its rows.
struct Declared {
    uint32_t header;
    int32_t width, height;
    int bits;
    uint32_t compression;
    uint32_t offset;
};

Declared declared(const uint8_t* data, size_t size)
{
    Declared d{};
    if (size < 18) return d;
    d.header = get32le(data + 14);
    d.offset = get32le(data + 10);
    if (d.header == 12 && size >= 26) {
        d.width = get16le(data + 18);
        d.height = get16le(data + 20);
        d.bits = get16le(data + 24);
    } else if (d.header >= 16 && size >= 14 + d.header) {
        d.width = static_cast<int32_t>(get32le(data + 18));
        d.height = static_cast<int32_t>(get32le(data + 22));
        d.bits = get16le(data + 28);
        d.compression = d.header >= 40 ? get32le(data + 30) : 0;
    }
    return d;
}

Surface* surface_of(int w, int h)
{
    // Kept for the whole run, never destroyed: the leak check at exit must
    // still see them.
    static auto* made = new std::map<std::pair<int, int>, Surface*>;
    Surface*& s = (*made)[{w, h}];
    if (!s) s = surface_create(w, h, 0);
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
    if (!ok) {
        FUZZ_CHECK(bitmap.pixels == nullptr);
        FUZZ_CHECK(std::strncmp(report_text(), path, std::strlen(path)) == 0);
        return 0;
    }
    // Nothing the reader accepts is smaller than its headers or lies about
    // its kind.
    const Declared d = declared(data, size);
    const BITMAPINFOHEADER& info = bitmap.info_header;
    FUZZ_CHECK(size >= 14 + d.header && d.offset <= size);
    FUZZ_CHECK(info.biSize == d.header && info.biWidth == d.width && info.biHeight == d.height);
    FUZZ_CHECK(bitmap.file_bits == d.bits && info.biCompression == d.compression);
    FUZZ_CHECK(info.biBitCount == (d.bits < 8 ? 8 : d.bits));
    const int bits = info.biBitCount;
    const int64_t stride = bmp_row_stride(info.biWidth, bits);
    const int64_t rows = info.biHeight > 0 ? int64_t{info.biHeight} : -int64_t{info.biHeight};
    FUZZ_CHECK(int64_t(bitmap.pixel_bytes) == stride * rows && info.biSizeImage == bitmap.pixel_bytes);
    FUZZ_CHECK(bitmap.palette_entries >= 0 && bitmap.palette_entries <= 256);
    FUZZ_CHECK(d.bits > 8 || bitmap.palette_entries <= (1 << d.bits));

    // Plain data of 8 bits or more: rows top first, straight from the offset.
    if (d.compression == 0 && d.bits >= 8) {
        FUZZ_CHECK(d.offset + uint64_t(stride * rows) <= size);
        const uint8_t* stored = data + d.offset;
        for (int64_t r = 0; r < rows; ++r) {
            const int64_t from = info.biHeight > 0 ? rows - 1 - r : r;
            FUZZ_CHECK(std::memcmp(bitmap.pixels + r * stride, stored + from * stride, static_cast<size_t>(stride)) ==
                       0);
        }
    }
    // Palette images index only the entries the file holds, or black ones.
    if (d.bits <= 8 && d.compression == 0) {
        for (int64_t r = 0; r < rows; ++r)
            for (int64_t x = 0; x < info.biWidth; ++x) FUZZ_CHECK(bitmap.pixels[r * stride + x] < (1 << d.bits));
    }
    for (int i = bitmap.palette_entries; i < 256; ++i) {
        const PALETTEENTRY& e = bitmap.palette[i];
        FUZZ_CHECK(e.peRed == 0 && e.peGreen == 0 && e.peBlue == 0);
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
