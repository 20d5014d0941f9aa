// Inputs the fuzzers (fuzz/) and the hostile-file suite found faults with,
// kept as they were found, read as the game reads them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/report.h"
#include "formats/bmp.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace {

// A BMP whose headers say what the fuzz input said and whose pixels are
// `pixel_bytes` bytes of nothing much.
Bytes bmp_header(int32_t width, int32_t height, uint16_t bits, uint32_t size_image, size_t pixel_bytes)
{
    Bytes b = bmp_image(1, 1, 24);
    b.resize(54);
    set32(b, 2, uint32_t(54 + pixel_bytes));
    set32(b, 10, 54);
    set32(b, BI_WIDTH, uint32_t(width));
    set32(b, BI_HEIGHT, uint32_t(height));
    b[BI_BIT_COUNT] = uint8_t(bits);
    set32(b, BI_SIZE_IMAGE, size_image);
    b.resize(b.size() + pixel_bytes, 0x5A);
    return b;
}

std::string read_refusal(const TempDir& dir, const Bytes& file)
{
    const std::string path = dir.write("found.bmp", file);
    report_clear();
    LoadedBitmap bitmap{};
    const int ok = bmp_read(bitmap, path.c_str());
    bmp_release(bitmap);
    return ok ? "accepted" : std::string(report_text()).substr(path.size() + 2);
}

// Width x bytes per pixel x rows beyond 64 bits: the product wrapped to a
// negative size, which every "too large" and "too small" test let through,
// and a 16-byte file was taken for a two-billion-row image. The most
// negative height has no positive twin in 32 bits: it is two billion rows
// stored top first, not a height of zero.
TEST(FuzzRegressions, BmpSizesThatOverflow)
{
    TempDir dir;
    EXPECT_EQ(read_refusal(dir, bmp_header(1627390064, -2096889712, 24, 16, 16)), "BMP image too large");
    EXPECT_EQ(read_refusal(dir, bmp_header(1627390064, -2096889712, 24, 671101440, 0)), "BMP image too large");
    EXPECT_EQ(read_refusal(dir, bmp_header(4, INT32_MIN, 24, 16, 16)), "BMP image too large");
    EXPECT_EQ(read_refusal(dir, bmp_header(4, 0, 24, 16, 16)), "BMP height is zero");
}

}  // namespace
