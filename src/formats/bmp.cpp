// BMP reading and writing. The reader takes what the common painting and
// conversion tools write: every header size the format defines, the pixel
// offset and palette length the file gives, palette images of 1, 4 and 8
// bits, plain or run-length coded, either row order. Every size is checked
// against the bytes really in the file; what it cannot read is refused with
// the reason, never guessed at.
#include "formats/bmp.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/bytes.h"
#include "base/file.h"
#include "base/report.h"

void bmp_decode_file_header(const uint8_t* b, BITMAPFILEHEADER& h)
{
    h.bfType = get16le(b);
    h.bfSize = get32le(b + 2);
    h.bfReserved1 = get16le(b + 6);
    h.bfReserved2 = get16le(b + 8);
    h.bfOffBits = get32le(b + 10);
}

void bmp_decode_info_header(const uint8_t* b, BITMAPINFOHEADER& h)
{
    h.biSize = get32le(b);
    h.biWidth = static_cast<int32_t>(get32le(b + 4));
    h.biHeight = static_cast<int32_t>(get32le(b + 8));
    h.biPlanes = get16le(b + 12);
    h.biBitCount = get16le(b + 14);
    h.biCompression = get32le(b + 16);
    h.biSizeImage = get32le(b + 20);
    h.biXPelsPerMeter = static_cast<int32_t>(get32le(b + 24));
    h.biYPelsPerMeter = static_cast<int32_t>(get32le(b + 28));
    h.biClrUsed = get32le(b + 32);
    h.biClrImportant = get32le(b + 36);
}

void bmp_encode_file_header(const BITMAPFILEHEADER& h, uint8_t* b)
{
    put16le(b, h.bfType);
    put32le(b + 2, h.bfSize);
    put16le(b + 6, h.bfReserved1);
    put16le(b + 8, h.bfReserved2);
    put32le(b + 10, h.bfOffBits);
}

void bmp_encode_info_header(const BITMAPINFOHEADER& h, uint8_t* b)
{
    put32le(b, h.biSize);
    put32le(b + 4, static_cast<uint32_t>(h.biWidth));
    put32le(b + 8, static_cast<uint32_t>(h.biHeight));
    put16le(b + 12, h.biPlanes);
    put16le(b + 14, h.biBitCount);
    put32le(b + 16, h.biCompression);
    put32le(b + 20, h.biSizeImage);
    put32le(b + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
    put32le(b + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
    put32le(b + 32, h.biClrUsed);
    put32le(b + 36, h.biClrImportant);
}

int64_t bmp_row_stride(int32_t width, int bit_count)
{
    if (width <= 0 || bit_count <= 0) return 0;
    int64_t bits = static_cast<int64_t>(width) * bit_count;
    return ((bits + 31) / 32) * 4;
}

// The largest image the reader accepts, decoded; ten times the game's biggest.
constexpr int64_t BMP_MAX_PIXEL_BYTES = 64ll * 1024 * 1024;
// The largest file: the largest image stored plainly, with every header.
constexpr size_t BMP_MAX_FILE_BYTES = BMP_MAX_PIXEL_BYTES + 65536;

// The header sizes the format defines: the 12-byte core header (3-byte
// palette entries), the 16- and 64-byte headers of the second OS/2 kind, and
// the Windows headers of 40 bytes and their longer versions.
static bool known_header_size(uint32_t size)
{
    switch (size) {
    case 12: case 16: case 40: case 52: case 56: case 64: case 108: case 124: return true;
    default: return false;
    }
}

static const char* compression_problem(const BITMAPINFOHEADER& info)
{
    const bool os2 = info.biSize == 16 || info.biSize == 64;
    const int bits = info.biBitCount;
    switch (info.biCompression) {
    case BI_RGB: return nullptr;
    case BI_RLE8: return bits == 8 ? nullptr : "BMP is RLE8-coded but not of 8 bits per pixel";
    case BI_RLE4: return bits == 4 ? nullptr : "BMP is RLE4-coded but not of 4 bits per pixel";
    case BI_BITFIELDS:
        if (os2) return "BMP is Huffman-coded, which the game does not read";
        return bits == 16 || bits == 32 ? nullptr : "BMP colour masks need 16 or 32 bits per pixel";
    case BI_JPEG: return os2 ? "BMP is RLE24-coded, which the game does not read"
                             : "BMP holds a JPEG picture, which the game does not read";
    case BI_PNG: return "BMP holds a PNG picture, which the game does not read";
    default: return "BMP compression of an unknown kind";
    }
}

// Reads the info header of any size into the 40-byte record; the fields a
// short header lacks stay zero.
static void decode_any_info_header(const uint8_t* b, uint32_t size, BITMAPINFOHEADER& h)
{
    h = BITMAPINFOHEADER{};
    if (size == 12) {
        h.biWidth = get16le(b + 4);
        h.biHeight = get16le(b + 6);
        h.biPlanes = get16le(b + 8);
        h.biBitCount = get16le(b + 10);
    } else if (size == 16) {
        h.biWidth = static_cast<int32_t>(get32le(b + 4));
        h.biHeight = static_cast<int32_t>(get32le(b + 8));
        h.biPlanes = get16le(b + 12);
        h.biBitCount = get16le(b + 14);
    } else {
        bmp_decode_info_header(b, h);
    }
    h.biSize = size;
}

// Decodes run-length data (RLE8, or RLE4 with two pixels a byte) into rows
// top first, `stride` bytes apart. Pixels the runs leave out keep index 0;
// runs past the right edge or the last row are dropped. Returns null, or why
// the data cannot be read.
static const char* decode_rle(const uint8_t* p, const uint8_t* end, bool four_bits, int64_t width, int64_t rows,
                              int64_t stride, uint8_t* out)
{
    int64_t x = 0;
    int64_t y = 0;  // counted from the bottom row, as stored
    const auto put = [&](uint8_t index) {
        if (x < width && y < rows) out[(rows - 1 - y) * stride + x] = index;
        ++x;
    };
    while (end - p >= 2 && y < rows) {
        const uint8_t count = p[0];
        const uint8_t value = p[1];
        p += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i) put(four_bits ? ((i & 1) ? value & 0x0F : value >> 4) : value);
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return nullptr;
        } else if (value == 2) {
            if (end - p < 2) return "BMP run-length data cut short";
            x += p[0];
            y += p[1];
            p += 2;
        } else {
            const int64_t held = four_bits ? (value + 1) / 2 : value;
            if (end - p < held) return "BMP run-length data cut short";
            for (int i = 0; i < value; ++i) put(four_bits ? ((i & 1) ? p[i / 2] & 0x0F : p[i / 2] >> 4) : p[i]);
            // Literal runs are padded to a whole word; the pad of the very
            // last one may be missing.
            p += held + (held & 1) <= end - p ? held + (held & 1) : held;
        }
    }
    return nullptr;
}

// Turns stored rows of 1 or 4 bits into one byte a pixel.
static void widen_row(const uint8_t* from, int bits, int64_t width, uint8_t* to)
{
    const int per_byte = 8 / bits;
    const int mask = (1 << bits) - 1;
    for (int64_t x = 0; x < width; ++x) {
        const int shift = 8 - bits * static_cast<int>(x % per_byte + 1);
        to[x] = static_cast<uint8_t>((from[x / per_byte] >> shift) & mask);
    }
}

// Checks the file's every size against its length and decodes it. Returns
// null, or the reason the file is refused.
static const char* read_image(const std::vector<uint8_t>& file, LoadedBitmap& bitmap)
{
    const uint8_t* bytes = file.data();
    const size_t size = file.size();
    if (size < BMP_FILE_HEADER_BYTES + 4) return "truncated BMP header";
    bmp_decode_file_header(bytes, bitmap.file_header);
    if (bitmap.file_header.bfType != BMP_MAGIC) return "not a BMP file";
    const uint32_t header_size = get32le(bytes + BMP_FILE_HEADER_BYTES);
    if (!known_header_size(header_size)) return "BMP info header of a size the format does not define";
    if (BMP_FILE_HEADER_BYTES + header_size > size) return "truncated BMP header";
    BITMAPINFOHEADER& info = bitmap.info_header;
    decode_any_info_header(bytes + BMP_FILE_HEADER_BYTES, header_size, info);

    const int bits = info.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return "unsupported BMP bit count";
    if (const char* problem = compression_problem(info)) return problem;
    const bool rle = info.biCompression == BI_RLE8 || info.biCompression == BI_RLE4;

    // A size that cannot hold its rows would send the row reversal and the
    // cell copies past the buffer: refuse it.
    const int decoded_bits = bits < 8 ? 8 : bits;
    const int64_t stride = bmp_row_stride(info.biWidth, decoded_bits);
    const int64_t stored_stride = bmp_row_stride(info.biWidth, bits);
    if (stride == 0) return "BMP width is not positive";
    if (info.biHeight == 0) return "BMP height is zero";
    if (rle && info.biHeight < 0) return "BMP is run-length coded and stored top first, which the format forbids";
    const int64_t rows = info.biHeight > 0 ? info.biHeight : -static_cast<int64_t>(info.biHeight);
    // Compared before multiplying: a wide image of many rows overflows even
    // 64 bits, and the wrapped product would pass every test below.
    if (stride > BMP_MAX_PIXEL_BYTES / rows) return "BMP image too large";
    const int64_t needed = stride * rows;
    if (needed > BMP_MAX_PIXEL_BYTES) return "BMP image too large";
    // Zero is the rows' own size for plain data.
    if (!rle && info.biSizeImage != 0 && info.biSizeImage < stored_stride * rows)
        return "BMP image size smaller than its rows";
    if (info.biSizeImage > BMP_MAX_PIXEL_BYTES) return "BMP image size too large";

    // The palette follows the header (and, behind a 40-byte header, the three
    // colour masks); the 12-byte header's entries are 3 bytes, all others 4.
    const size_t entry = header_size == 12 ? 3 : 4;
    const size_t palette_at = BMP_FILE_HEADER_BYTES + header_size +
                              (header_size == 40 && info.biCompression == BI_BITFIELDS ? 12 : 0);
    const uint32_t pixels_at = bitmap.file_header.bfOffBits;
    if (pixels_at < palette_at) return "BMP pixel data starts inside its headers";
    int64_t entries = 0;
    if (bits <= 8) {
        entries = info.biClrUsed != 0 ? info.biClrUsed : int64_t{1} << bits;
        if (entries > int64_t{1} << bits) return "BMP palette holds more colours than its bit count can use";
        // The pixel data may start before a full palette's end; such a file
        // holds only the entries in front of it.
        const int64_t room = (pixels_at - palette_at) / static_cast<int64_t>(entry);
        if (entries > room && pixels_at <= size) entries = room;
        if (palette_at + entries * entry > size) return "truncated BMP palette";
    }
    bitmap.palette = {};
    for (int64_t i = 0; i < entries; ++i) {
        const uint8_t* e = bytes + palette_at + i * entry;
        bitmap.palette[static_cast<size_t>(i)] = PALETTEENTRY{e[2], e[1], e[0]};
    }

    if (pixels_at > size) return "BMP pixel data truncated";
    const uint64_t there = size - pixels_at;
    if (info.biSizeImage > there) return "BMP pixel data truncated";
    if (!rle && static_cast<uint64_t>(stored_stride * rows) > there) return "BMP pixel data truncated";

    auto* pixels = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(needed), 1));
    if (!pixels) return "out of memory";
    const uint8_t* stored = bytes + pixels_at;
    if (rle) {
        const uint8_t* coded_end = stored + (info.biSizeImage != 0 ? info.biSizeImage : there);
        if (const char* why = decode_rle(stored, coded_end, info.biCompression == BI_RLE4, info.biWidth, rows,
                                         stride, pixels)) {
            std::free(pixels);
            return why;
        }
    } else {
        for (int64_t r = 0; r < rows; ++r) {
            const uint8_t* from = stored + (info.biHeight > 0 ? rows - 1 - r : r) * stored_stride;
            if (bits < 8) {
                widen_row(from, bits, info.biWidth, pixels + r * stride);
            } else {
                std::memcpy(pixels + r * stride, from, static_cast<size_t>(stride));
            }
        }
    }
    bitmap.pixels = pixels;
    bitmap.pixel_bytes = static_cast<size_t>(needed);
    bitmap.file_bits = static_cast<uint16_t>(bits);
    bitmap.palette_entries = static_cast<int>(entries);
    info.biBitCount = static_cast<uint16_t>(decoded_bits);
    info.biSizeImage = static_cast<uint32_t>(needed);
    return nullptr;
}

int bmp_read(LoadedBitmap& bitmap, const char* path)
{
    bmp_release(bitmap);
    std::vector<uint8_t> file;
    const char* why = nullptr;
    if (!read_file(path, BMP_MAX_FILE_BYTES, file, &why) || (why = read_image(file, bitmap)) != nullptr) {
        report_failure(path, why);
        return 0;
    }
    return 1;
}

std::string bmp_palette_shortfall(const LoadedBitmap& bitmap)
{
    if (!bitmap.pixels || bitmap.info_header.biBitCount != 8) return "";
    const int64_t stride = bmp_row_stride(bitmap.info_header.biWidth, 8);
    const int64_t rows = bitmap.pixel_bytes / static_cast<size_t>(stride);
    uint8_t highest = 0;
    for (int64_t r = 0; r < rows; ++r) {
        const uint8_t* row = bitmap.pixels + r * stride;
        highest = std::max(highest, *std::max_element(row, row + bitmap.info_header.biWidth));
    }
    if (highest < bitmap.palette_entries) return "";
    return "its palette holds " + std::to_string(bitmap.palette_entries) + " entries, fewer than its pixels use (up to entry " +
           std::to_string(highest) + ")";
}

void bmp_describe(const LoadedBitmap& bitmap, char* out, size_t size)
{
    const char* coding = "uncompressed";
    switch (bitmap.info_header.biCompression) {
    case BI_RLE8: coding = "RLE8"; break;
    case BI_RLE4: coding = "RLE4"; break;
    case BI_BITFIELDS: coding = "colour masks"; break;
    default: break;
    }
    std::snprintf(out, size, "BMP %d x %d, %u-byte header, %d bits, %s, %d colours, %s", bitmap.info_header.biWidth,
                  bitmap.info_header.biHeight < 0 ? -bitmap.info_header.biHeight : bitmap.info_header.biHeight,
                  bitmap.info_header.biSize, bitmap.file_bits, coding, bitmap.palette_entries,
                  bitmap.info_header.biHeight < 0 ? "top row first" : "bottom row first");
}

void bmp_release(LoadedBitmap& bitmap)
{
    std::free(bitmap.pixels);
    bitmap.pixels = nullptr;
    bitmap.pixel_bytes = 0;
}

std::vector<uint8_t> bmp_encode_8bit(int width, int height, const uint8_t* top_first_pixels, const Palette& palette)
{
    const auto stride = static_cast<size_t>(bmp_row_stride(width, 8));
    const size_t image = stride * static_cast<size_t>(height);
    const size_t offset = BMP_FILE_HEADER_BYTES + BMP_INFO_HEADER_BYTES + BMP_PALETTE_BYTES;
    std::vector<uint8_t> out(offset + image, 0);

    BITMAPFILEHEADER fh{BMP_MAGIC, static_cast<uint32_t>(out.size()), 0, 0, static_cast<uint32_t>(offset)};
    constexpr int32_t PIXELS_PER_METRE = 2835;  // 72 dots an inch, what image tools assume
    BITMAPINFOHEADER ih{static_cast<uint32_t>(BMP_INFO_HEADER_BYTES), width, height, 1, 8, BI_RGB, static_cast<uint32_t>(image),
                        PIXELS_PER_METRE, PIXELS_PER_METRE, PALETTE_ENTRIES, 0};
    bmp_encode_file_header(fh, out.data());
    bmp_encode_info_header(ih, out.data() + BMP_FILE_HEADER_BYTES);
    uint8_t* quads = out.data() + BMP_FILE_HEADER_BYTES + BMP_INFO_HEADER_BYTES;
    for (int i = 0; i < PALETTE_ENTRIES; ++i) {
        quads[i * 4] = palette[i].b;
        quads[i * 4 + 1] = palette[i].g;
        quads[i * 4 + 2] = palette[i].r;
        quads[i * 4 + 3] = 0;
    }
    for (int y = 0; y < height; ++y) {
        std::memcpy(out.data() + offset + static_cast<size_t>(height - 1 - y) * stride,
                    top_first_pixels + static_cast<size_t>(y) * width, static_cast<size_t>(width));
    }
    return out;
}

int bmp_write_8bit(const char* path, int width, int height, const uint8_t* top_first_pixels, const Palette& palette)
{
    return write_file(path, bmp_encode_8bit(width, height, top_first_pixels, palette));
}
