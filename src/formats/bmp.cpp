// BMP reading and writing. The reader keeps the game's rules (headers taken
// as stored, palette always 256 entries, rows turned top first) but refuses,
// rather than reads past its buffers, any file whose sizes do not add up.
#include "formats/bmp.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/bytes.h"
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

// The largest image the reader accepts; ten times the game's biggest.
constexpr int64_t BMP_MAX_PIXEL_BYTES = 64ll * 1024 * 1024;

static int refuse(std::FILE* file, const char* path, const char* reason)
{
    if (file) std::fclose(file);
    report_failure(path, reason);
    return 0;
}

int bmp_read(LoadedBitmap& bitmap, const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return refuse(nullptr, path, std::strerror(errno));

    uint8_t header[BMP_FILE_HEADER_BYTES + BMP_INFO_HEADER_BYTES];
    if (std::fread(header, 1, sizeof header, file) != sizeof header)
        return refuse(file, path, "truncated BMP header");
    bmp_decode_file_header(header, bitmap.file_header);
    if (bitmap.file_header.bfType != BMP_MAGIC) return refuse(file, path, "not a BMP file");
    bmp_decode_info_header(header + BMP_FILE_HEADER_BYTES, bitmap.info_header);
    const BITMAPINFOHEADER& info = bitmap.info_header;

    if (info.biBitCount == 8) {
        uint8_t quads[BMP_PALETTE_BYTES];
        if (std::fread(quads, 1, sizeof quads, file) != sizeof quads)
            return refuse(file, path, "truncated BMP palette");
        for (int i = 0; i < 256; ++i) {
            bitmap.palette[i] = PALETTEENTRY{quads[i * 4 + 2], quads[i * 4 + 1], quads[i * 4], PC_NOCOLLAPSE};
        }
    }
    if (info.biBitCount != 8 && info.biBitCount != 16 && info.biBitCount != 24)
        return refuse(file, path, "unsupported BMP bit count");

    // A size that cannot hold its rows would send the row reversal and the
    // cell copies past the buffer: refuse it.
    const int64_t stride = bmp_row_stride(info.biWidth, info.biBitCount);
    if (stride == 0) return refuse(file, path, "BMP width is not positive");
    if (info.biHeight == 0) return refuse(file, path, "BMP height is zero");
    const int64_t rows = info.biHeight > 0 ? info.biHeight : -static_cast<int64_t>(info.biHeight);
    // Compared before multiplying: a wide image of many rows overflows even
    // 64 bits, and the wrapped product would pass every test below.
    if (stride > BMP_MAX_PIXEL_BYTES / rows) return refuse(file, path, "BMP image too large");
    const int64_t needed = stride * rows;
    if (needed > BMP_MAX_PIXEL_BYTES) return refuse(file, path, "BMP image too large");
    if (info.biSizeImage < needed) return refuse(file, path, "BMP image size smaller than its rows");
    if (info.biSizeImage > BMP_MAX_PIXEL_BYTES) return refuse(file, path, "BMP image size too large");

    std::free(bitmap.pixels);
    bitmap.pixels = nullptr;
    bitmap.pixel_bytes = 0;
    auto* pixels = static_cast<uint8_t*>(std::malloc(info.biSizeImage));
    if (!pixels) return refuse(file, path, "out of memory");
    const size_t got = std::fread(pixels, 1, info.biSizeImage, file);
    std::fclose(file);
    if (got != info.biSizeImage) {
        std::free(pixels);
        report_failure(path, "BMP pixel data truncated");
        return 0;
    }
    bitmap.pixels = pixels;
    bitmap.pixel_bytes = info.biSizeImage;

    if (info.biHeight > 0 && !bmp_flip_rows(pixels, static_cast<int>(stride), info.biHeight)) {
        report_failure(path, "out of memory");
        return 0;
    }
    return 1;
}

int bmp_release(LoadedBitmap& bitmap)
{
    std::free(bitmap.pixels);
    bitmap.pixels = nullptr;
    bitmap.pixel_bytes = 0;
    return 1;
}

int bmp_flip_rows(uint8_t* pixels, int bytes_per_row, int rows)
{
    const size_t total = static_cast<size_t>(bytes_per_row) * static_cast<size_t>(rows);
    auto* work = static_cast<uint8_t*>(std::malloc(total ? total : 1));
    if (!work) return 0;
    std::memcpy(work, pixels, total);
    for (int i = 0; i < rows; ++i) {
        std::memcpy(pixels + static_cast<size_t>(rows - 1 - i) * bytes_per_row,
                    work + static_cast<size_t>(i) * bytes_per_row, static_cast<size_t>(bytes_per_row));
    }
    std::free(work);
    return 1;
}

std::vector<uint8_t> bmp_encode_8bit(int width, int height, const uint8_t* top_first_pixels, const Palette& palette)
{
    const auto stride = static_cast<size_t>(bmp_row_stride(width, 8));
    const size_t image = stride * static_cast<size_t>(height);
    const size_t offset = BMP_FILE_HEADER_BYTES + BMP_INFO_HEADER_BYTES + BMP_PALETTE_BYTES;
    std::vector<uint8_t> out(offset + image, 0);

    BITMAPFILEHEADER fh{BMP_MAGIC, static_cast<uint32_t>(out.size()), 0, 0, static_cast<uint32_t>(offset)};
    BITMAPINFOHEADER ih{40, width, height, 1, 8, 0, static_cast<uint32_t>(image), 2835, 2835, 256, 0};
    bmp_encode_file_header(fh, out.data());
    bmp_encode_info_header(ih, out.data() + BMP_FILE_HEADER_BYTES);
    uint8_t* quads = out.data() + BMP_FILE_HEADER_BYTES + BMP_INFO_HEADER_BYTES;
    for (int i = 0; i < 256; ++i) {
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
    const std::vector<uint8_t> bytes = bmp_encode_8bit(width, height, top_first_pixels, palette);
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return (std::fclose(file) == 0 && ok) ? 1 : 0;
}
