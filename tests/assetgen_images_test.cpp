// The generated images, read back with the game's own BMP reader, and checked
// for the ways the art could break the game: wrong sizes or palettes, cells
// off the grid, frozen animations, a ship that points the wrong way, intro
// text that the scroll would cut off.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "base/data_files.h"
#include "formats/bmp.h"
#include "game/sprite_sizes.h"
#include "support/process.h"

namespace {

struct Picture {
    LoadedBitmap bmp{};
    bool ok = false;
    int w = 0, h = 0;
    int64_t stride = 0;

    explicit Picture(const std::string& file)
    {
        const std::string path = std::string(KESTRAVA_DATA_DIR) + "/" + file;
        ok = bmp_read(bmp, path.c_str()) == 1;
        if (ok) {
            w = bmp.info_header.biWidth;
            h = std::abs(bmp.info_header.biHeight);
            stride = bmp_row_stride(w, bmp.info_header.biBitCount);
        }
    }
    ~Picture() { bmp_release(bmp); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    uint8_t at(int x, int y) const { return bmp.pixels[size_t(y) * size_t(stride) + size_t(x)]; }
};

struct SheetLayout {
    const char* file;
    SpriteSize size;
    int rows;
};
constexpr SheetLayout SHEETS[] = {
    {"Projectile.bmp", SHOT_SPRITE, 1}, {"Explosion.bmp", EXPLOSION_SPRITE, 1}, {"Astronaut.bmp", ASTRONAUT_SPRITE, 1},
    {"star.bmp", STAR_SPRITE, 1},       {"Asteroid.bmp", ASTEROID_SPRITE, 1},   {"PlayerShip.bmp", SHIP_SPRITE, 2},
};
constexpr const char* SCREENS[] = {"splash.bmp", "backdrop.bmp", "introtext.bmp"};

// One cell's pixels, row by row.
std::vector<uint8_t> cell(const Picture& p, const SheetLayout& s, int col, int row)
{
    std::vector<uint8_t> out;
    int x0 = col * (s.size.width + 1) + 1, y0 = row * (s.size.height + 1) + 1;
    for (int y = 0; y < s.size.height; ++y)
        for (int x = 0; x < s.size.width; ++x) out.push_back(p.at(x0 + x, y0 + y));
    return out;
}

// Signed difference of two angles in degrees, folded into [-180, 180).
double angle_gap(double a, double b)
{
    double d = std::fmod(a - b + 540.0, 360.0);
    return d - 180.0;
}

TEST(GeneratedImages, AllAreEightBitInTheSplashPalette)
{
    Picture splash("splash.bmp");
    ASSERT_TRUE(splash.ok);
    const auto& pal = splash.bmp.palette;
    EXPECT_EQ(pal[0].peRed, 0);
    EXPECT_EQ(pal[0].peGreen, 0);
    EXPECT_EQ(pal[0].peBlue, 0);
    // The game writes its texts in these colours; each must be there exactly.
    const std::array<std::array<int, 3>, 4> text_colours{{{64, 64, 64}, {0, 255, 0}, {200, 64, 0}, {255, 20, 20}}};
    for (const auto& c : text_colours) {
        bool found = false;
        for (const PALETTEENTRY& e : pal) found = found || (e.peRed == c[0] && e.peGreen == c[1] && e.peBlue == c[2]);
        EXPECT_TRUE(found) << c[0] << "," << c[1] << "," << c[2];
    }
    // Index 0 is the transparent key: no other entry may be black too, or
    // a sprite's black would be drawn where the key is meant.
    for (size_t i = 1; i < 256; ++i)
        EXPECT_FALSE(pal[i].peRed == 0 && pal[i].peGreen == 0 && pal[i].peBlue == 0) << i;

    auto check = [&](const char* file, int want_w, int want_h) {
        Picture p(file);
        ASSERT_TRUE(p.ok) << file;
        EXPECT_EQ(p.bmp.info_header.biBitCount, 8) << file;
        EXPECT_EQ(p.w, want_w) << file;
        EXPECT_EQ(p.h, want_h) << file;
        for (size_t i = 0; i < 256; ++i) {
            const PALETTEENTRY& e = p.bmp.palette[i];
            EXPECT_TRUE(e.peRed == pal[i].peRed && e.peGreen == pal[i].peGreen && e.peBlue == pal[i].peBlue) << file << " " << i;
        }
    };
    for (const char* file : SCREENS) check(file, 640, 480);
    for (const SheetLayout& s : SHEETS) {
        // The grid runs round every cell, the outer edge included.
        check(s.file, s.size.frames * (s.size.width + 1) + 1, s.rows * (s.size.height + 1) + 1);
    }
}

TEST(GeneratedImages, EverySheetCellIsFramedDrawnAndDistinct)
{
    for (const SheetLayout& s : SHEETS) {
        Picture p(s.file);
        ASSERT_TRUE(p.ok) << s.file;
        ASSERT_EQ(p.w, s.size.frames * (s.size.width + 1) + 1) << s.file;
        ASSERT_EQ(p.h, s.rows * (s.size.height + 1) + 1) << s.file;
        for (int row = 0; row < s.rows; ++row)
            for (int col = 0; col < s.size.frames; ++col) {
                int x0 = col * (s.size.width + 1) + 1, y0 = row * (s.size.height + 1) + 1;
                int frame_gaps = 0;
                for (int x = x0 - 1; x <= x0 + s.size.width; ++x)
                    frame_gaps += (p.at(x, y0 - 1) == 0) + (p.at(x, y0 + s.size.height) == 0);
                for (int y = y0; y < y0 + s.size.height; ++y)
                    frame_gaps += (p.at(x0 - 1, y) == 0) + (p.at(x0 + s.size.width, y) == 0);
                EXPECT_EQ(frame_gaps, 0) << s.file << " cell " << col << "," << row;
                std::vector<uint8_t> px = cell(p, s, col, row);
                size_t drawn = px.size() - size_t(std::count(px.begin(), px.end(), 0));
                EXPECT_GT(drawn, 0u) << s.file << " cell " << col << "," << row << " is empty";
                // A sprite without transparent pixels would show as a box.
                EXPECT_LT(drawn, px.size()) << s.file << " cell " << col << "," << row << " has no transparency";
                // Its corners are clear: nothing is cut by the cell's edge there.
                EXPECT_EQ(px.front(), 0) << s.file << " cell " << col << "," << row;
                EXPECT_EQ(px.back(), 0) << s.file << " cell " << col << "," << row;
            }
        // Every picture of an animation, and every heading, differs from
        // every other in its row.
        for (int row = 0; row < s.rows; ++row)
            for (int a = 0; a < s.size.frames; ++a)
                for (int b = a + 1; b < s.size.frames; ++b)
                    EXPECT_NE(cell(p, s, a, row), cell(p, s, b, row)) << s.file << " frames " << a << " and " << b;
    }
}

TEST(GeneratedImages, ShipPointsAlongItsHeadingWithTheFlameBehind)
{
    const SheetLayout& s = SHEETS[5];
    Picture p(s.file);
    ASSERT_TRUE(p.ok);
    double mean_x = 0, mean_y = 0;
    for (int h = 0; h < 16; ++h) {
        const double want = h * 22.5;
        std::vector<uint8_t> plain = cell(p, s, h, 0), thrust = cell(p, s, h, 1);
        // The nose is the pixel farthest from the centre (11, 9).
        double far = -1, far_angle = 0, cx = 0, cy = 0, n = 0;
        double fx = 0, fy = 0, fn = 0;
        for (int y = 0; y < s.size.height; ++y)
            for (int x = 0; x < s.size.width; ++x) {
                size_t i = size_t(y * s.size.width + x);
                double dx = x + 0.5 - 11.0, dy = y + 0.5 - 9.0;
                if (plain[i]) {
                    double d = std::hypot(dx, dy);
                    if (d > far) {
                        far = d;
                        far_angle = std::atan2(dy, dx) * 180.0 / std::numbers::pi;
                    }
                    cx += dx;
                    cy += dy;
                    n += 1;
                } else if (thrust[i]) {
                    fx += dx;
                    fy += dy;
                    fn += 1;
                }
            }
        ASSERT_GT(n, 0) << "heading " << h;
        EXPECT_LT(std::fabs(angle_gap(far_angle, want)), 22.5) << "heading " << h << " points at " << far_angle;
        mean_x += cx / n / 16.0;
        mean_y += cy / n / 16.0;
        // Row 1 adds the flame, and it comes out of the tail.
        ASSERT_GT(fn, 0) << "heading " << h << " has no flame";
        double flame_angle = std::atan2(fy / fn, fx / fn) * 180.0 / std::numbers::pi;
        EXPECT_LT(std::fabs(angle_gap(flame_angle, want + 180.0)), 22.5) << "heading " << h;
        // The ship itself is the same in both rows, but for the pixels
        // where the flame meets the tail.
        int same = 0;
        for (size_t i = 0; i < plain.size(); ++i) same += plain[i] && thrust[i] == plain[i];
        EXPECT_GT(same, 0.85 * n) << "heading " << h;
    }
    // Turning about its centre: over all headings the ship averages out there.
    EXPECT_LT(std::fabs(mean_x), 0.75);
    EXPECT_LT(std::fabs(mean_y), 0.75);
}

TEST(GeneratedImages, IntroTextFitsAboveWhereTheScrollStops)
{
    Picture p("introtext.bmp");
    ASSERT_TRUE(p.ok);
    // It rests at y = 50, so rows from 430 on would never be seen.
    int below = 0, above = 0;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) (y >= 430 ? below : above) += p.at(x, y) != 0;
    EXPECT_EQ(below, 0);
    EXPECT_GT(above, 5000);  // a page of text, not a stray pixel
    // At rest the page sits in the screen's middle: its empty margins above
    // and below within 2x of each other, and not crowding the bottom edge.
    int first = -1, last = 0;
    for (int y = 0; y < 430; ++y)
        for (int x = 0; x < p.w; ++x)
            if (p.at(x, y)) {
                if (first < 0) first = y;
                last = y;
            }
    const int top_margin = 50 + first, bottom_margin = 480 - (50 + last + 1);
    EXPECT_GE(bottom_margin, 24);
    EXPECT_LE(top_margin, 2 * bottom_margin) << top_margin << " above, " << bottom_margin << " below";
    EXPECT_LE(bottom_margin, 2 * top_margin) << top_margin << " above, " << bottom_margin << " below";
}

// Two runs of the generator give the same bytes: a build is reproducible.
TEST(AssetGenerator, WritesTheSameBytesOnEveryRun)
{
    TempDir a, b;
    for (const TempDir* dir : {&a, &b}) {
        const Ended e = run_program({KESTRAVA_ASSETGEN, dir->path()});
        ASSERT_EQ(e.status, 0) << e.err;
    }
    for (int i = 0; i < DATA_FILE_COUNT; ++i) {
        const std::string file = data_file_name(DataFile(i));
        EXPECT_FALSE(a.read(file).empty()) << file;
        EXPECT_TRUE(a.read(file) == b.read(file)) << file << " differs between two runs";
    }
}

}  // namespace
