// Inputs the fuzzers (fuzz/) and the hostile-file suite found faults with,
// kept as they were found, read as the game reads them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "audio_files.h"
#include "formats/bmp.h"
#include "base/report.h"

namespace {

// A BMP whose headers say what the fuzz input said and whose pixels are
// `pixel_bytes` bytes of nothing much.
Bytes bmp_header(int32_t width, int32_t height, uint16_t bits, uint32_t size_image, size_t pixel_bytes)
{
    Bytes b;
    put16le(b, 0x4D42);
    put32le(b, uint32_t(54 + pixel_bytes));
    put32le(b, 0);
    put32le(b, 54);
    put32le(b, 40);
    put32le(b, uint32_t(width));
    put32le(b, uint32_t(height));
    put16le(b, 1);
    put16le(b, bits);
    put32le(b, 0);
    put32le(b, size_image);
    for (int i = 0; i < 4; ++i) put32le(b, 0);
    b.resize(b.size() + pixel_bytes, 0x5A);
    return b;
}

std::string read_refusal(const std::string& path)
{
    report_clear();
    LoadedBitmap bitmap{};
    const int ok = bmp_read(bitmap, path.c_str());
    bmp_release(bitmap);
    return ok ? "accepted" : report_text();
}

// Width x bytes per pixel x rows beyond 64 bits: the product wrapped to a
// negative size, which every "too large" and "too small" test let through,
// and a 16-byte file was taken for a two-billion-row image.
TEST(FuzzRegressions, BmpWhoseSizeOverflowsSixtyFourBits)
{
    TempDir dir;
    const std::string path = dir.write("big.bmp", bmp_header(1627390064, -2096889712, 24, 16, 16));
    EXPECT_EQ(read_refusal(path), path + ": BMP image too large");
    const std::string found = dir.write("found.bmp", bmp_header(1627390064, -2096889712, 24, 671101440, 0));
    EXPECT_EQ(read_refusal(found), found + ": BMP image too large");
}

// The most negative height has no positive twin in 32 bits; it is two
// billion rows stored top first, not a height of zero.
TEST(FuzzRegressions, BmpOfTheMostNegativeHeightIsTooLargeNotZero)
{
    TempDir dir;
    const std::string path = dir.write("tall.bmp", bmp_header(4, INT32_MIN, 24, 16, 16));
    EXPECT_EQ(read_refusal(path), path + ": BMP image too large");
    const std::string zero = dir.write("flat.bmp", bmp_header(4, 0, 24, 16, 16));
    EXPECT_EQ(read_refusal(zero), zero + ": BMP height is zero");
}

}  // namespace
