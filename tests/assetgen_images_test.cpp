// The generated images, read with the game's own BMP reader, checked for the
// ways the art could break the game.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "base/data_files.h"
#include "formats/bmp.h"
#include "game/sprite_sizes.h"
#include "support/process.h"

namespace {

// Cells on a one-pixel grid that runs round every cell, the outer edge included.
struct Sheet {
    const char* file;
    SpriteSize size;
    int rows;
    std::pair<int, int> extent() const { return {size.frames * (size.width + 1) + 1, rows * (size.height + 1) + 1}; }
};
constexpr Sheet SHOT{"Projectile.bmp", SHOT_SPRITE, 1}, ROCK{"Asteroid.bmp", ASTEROID_SPRITE, 1},
    ASTRONAUT{"Astronaut.bmp", ASTRONAUT_SPRITE, 1}, SHIP{"PlayerShip.bmp", SHIP_SPRITE, 2};
constexpr Sheet SHEETS[] = {SHOT, {"Explosion.bmp", EXPLOSION_SPRITE, 1}, ASTRONAUT, {"star.bmp", STAR_SPRITE, 1},
                            ROCK, SHIP};

// One image as the game reads it.
struct Picture {
    LoadedBitmap bmp{};
    int w = 0, h = 0;
    explicit Picture(const char* file)
    {
        if (bmp_read(bmp, (std::string(KESTRAVA_DATA_DIR) + "/" + file).c_str()) != 1) return;
        w = bmp.info_header.biWidth;
        h = std::abs(bmp.info_header.biHeight);
    }
    Picture(const Picture&) = delete;
    ~Picture() { bmp_release(bmp); }
    uint8_t at(int x, int y) const { return bmp.pixels[size_t(y) * size_t(bmp_row_stride(w, 8)) + size_t(x)]; }
    std::vector<uint8_t> cell(const SpriteSize& s, int col, int row) const
    {
        std::vector<uint8_t> out;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x)
                out.push_back(at(col * (s.width + 1) + 1 + x, row * (s.height + 1) + 1 + y));
        return out;
    }
};

uint32_t rgb(const PALETTEENTRY& e) { return uint32_t(e.peRed) << 16 | uint32_t(e.peGreen) << 8 | e.peBlue; }

TEST(GeneratedImages, AllAreEightBitInTheSplashPalette)
{
    Picture splash("splash.bmp");
    ASSERT_NE(splash.w, 0);
    std::vector<uint32_t> pal(256);
    std::transform(std::begin(splash.bmp.palette), std::end(splash.bmp.palette), pal.begin(), rgb);
    // Index 0 is the transparent key and black. No colour twice: a sprite's black is not see-through, and a
    // picture exported in these colours imports back to its own indices.
    EXPECT_EQ(pal[0], 0u);
    EXPECT_EQ(std::set<uint32_t>(pal.begin(), pal.end()).size(), 256u);
    // The game writes its texts in these colours; each must be there exactly.
    for (uint32_t c : {0x404040u, 0x00FF00u, 0xC84000u, 0xFF1414u})
        EXPECT_NE(std::find(pal.begin(), pal.end(), c), pal.end()) << std::hex << c;

    auto check = [&](const char* file, int want_w, int want_h) {
        Picture p(file);
        EXPECT_EQ(std::make_tuple(p.bmp.info_header.biBitCount, p.w, p.h), std::make_tuple(8, want_w, want_h)) << file;
        for (int i = 0; i < 256; ++i) EXPECT_EQ(rgb(p.bmp.palette[i]), pal[size_t(i)]) << file << " " << i;
    };
    for (const char* file : {"splash.bmp", "backdrop.bmp", "introtext.bmp"}) check(file, 640, 480);
    for (const Sheet& s : SHEETS) check(s.file, s.extent().first, s.extent().second);
}

// Cells drawn, with transparency round them (clear corners: nothing cut by the
// edge), each picture of an animation or heading unlike the rest of its row.
TEST(GeneratedImages, EverySheetCellIsFramedDrawnAndDistinct)
{
    for (const Sheet& s : SHEETS) {
        SCOPED_TRACE(s.file);
        Picture p(s.file);
        ASSERT_EQ(std::make_pair(p.w, p.h), s.extent());
        int gaps = 0;
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x)
                gaps += !p.at(x, y) && (x % (s.size.width + 1) == 0 || y % (s.size.height + 1) == 0);
        EXPECT_EQ(gaps, 0) << "gaps in the grid";
        for (int row = 0; row < s.rows; ++row)
            for (int col = 0; col < s.size.frames; ++col) {
                const std::vector<uint8_t> px = p.cell(s.size, col, row);
                const auto clear = size_t(std::count(px.begin(), px.end(), 0));
                EXPECT_TRUE(clear > 0 && clear < px.size() && px.front() == 0 && px.back() == 0)
                    << "cell " << col << "," << row << ": " << clear << " clear";
                for (int other = 0; other < col; ++other)
                    EXPECT_NE(p.cell(s.size, other, row), px) << col << " as " << other;
            }
    }
}

double degrees(double y, double x) { return std::atan2(y, x) * 180.0 / std::numbers::pi; }
// How far angle a is from b, in degrees, folded into [0, 180].
double angle_gap(double a, double b) { return std::fabs(std::fmod(a - b + 540.0, 360.0) - 180.0); }

// Mean relative luminance and chroma (max - min of r, g, b) of a row's drawn pixels.
std::pair<double, double> look(const Sheet& s, int row)
{
    Picture p(s.file);
    double luminance = 0, chroma = 0, drawn = 0;
    auto linear = [](double c) {  // sRGB to linear light
        c /= 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    for (int col = 0; col < s.size.frames && p.w; ++col)
        for (uint8_t index : p.cell(s.size, col, row)) {
            const PALETTEENTRY& e = p.bmp.palette[index];
            luminance += index ? 0.2126 * linear(e.peRed) + 0.7152 * linear(e.peGreen) + 0.0722 * linear(e.peBlue) : 0;
            chroma += index ? std::max({e.peRed, e.peGreen, e.peBlue}) - std::min({e.peRed, e.peGreen, e.peBlue}) : 0;
            drawn += index != 0;
        }
    EXPECT_GT(drawn, 0) << s.file;
    return {luminance / std::max(drawn, 1.0), chroma / std::max(drawn, 1.0)};
}

// The ship is also what the eye finds first: brighter than rock and astronaut,
// in a colour the greys and tans of the rocks lack.
TEST(GeneratedImages, ShipPointsAlongItsHeadingWithTheFlameBehindAndOutshinesTheRocks)
{
    const auto [rock, rock_chroma] = look(ROCK, 0);
    const double brightest_other = std::max(rock, look(ASTRONAUT, 0).first);
    for (int row = 0; row < 2; ++row) {  // coasting, then under thrust
        const auto [ship, ship_chroma] = look(SHIP, row);
        EXPECT_GE(ship, 1.3 * brightest_other) << "row " << row;
        EXPECT_GT(ship_chroma, 2.0 * rock_chroma) << "row " << row << ": the ship is drawn in the rocks' greys";
    }
    Picture p(SHIP.file);
    ASSERT_NE(p.w, 0);
    const SpriteSize& s = SHIP.size;
    double mean_x = 0, mean_y = 0;
    for (int h = 0; h < 16; ++h) {
        SCOPED_TRACE("heading " + std::to_string(h));
        const double want = h * 22.5;
        const std::vector<uint8_t> plain = p.cell(s, h, 0), thrust = p.cell(s, h, 1);
        // The nose is the drawn pixel farthest from the centre (11, 9).
        std::array<double, 2> nose{};
        std::array<double, 3> ship{}, flame{};  // sums of x, y and count about the centre
        int same = 0;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) {
                const size_t i = size_t(y * s.width + x);
                const double dx = x + 0.5 - 11.0, dy = y + 0.5 - 9.0;
                if (plain[i] && std::hypot(dx, dy) > std::hypot(nose[0], nose[1])) nose = {dx, dy};
                if (plain[i] || thrust[i]) {
                    std::array<double, 3>& sum = plain[i] ? ship : flame;
                    sum = {sum[0] + dx, sum[1] + dy, sum[2] + 1};
                }
                same += plain[i] && thrust[i] == plain[i];
            }
        ASSERT_GT(ship[2], 0);
        EXPECT_LT(angle_gap(degrees(nose[1], nose[0]), want), 22.5) << "points at " << degrees(nose[1], nose[0]);
        mean_x += ship[0] / ship[2] / 16.0;
        mean_y += ship[1] / ship[2] / 16.0;
        // Row 1 adds the flame out of the tail and changes little else.
        ASSERT_GT(flame[2], 0) << "no flame";
        EXPECT_LT(angle_gap(degrees(flame[1], flame[0]), want + 180.0), 22.5);
        EXPECT_GT(same, 0.85 * ship[2]);
    }
    // Turning about its centre: over all headings the ship averages out there.
    EXPECT_TRUE(std::fabs(mean_x) < 0.75 && std::fabs(mean_y) < 0.75) << mean_x << ", " << mean_y;
}

// The page rests at y = 50 (rows from 430 never seen), its margins within 2x
// of each other and clear of the bottom edge.
TEST(GeneratedImages, IntroTextFitsAboveWhereTheScrollStops)
{
    Picture p("introtext.bmp");
    ASSERT_EQ(p.h, 480);
    int below = 0, above = 0, first = -1, last = 0;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x)
            if (p.at(x, y)) {
                (y >= 430 ? below : above) += 1;
                first = first < 0 ? y : first;
                last = y < 430 ? y : last;
            }
    EXPECT_EQ(below, 0);
    EXPECT_GT(above, 5000) << "a page of text, not a stray pixel";
    const int top_margin = 50 + first, bottom_margin = 480 - (50 + last + 1);
    EXPECT_GE(bottom_margin, 24);
    EXPECT_TRUE(top_margin <= 2 * bottom_margin && bottom_margin <= 2 * top_margin)
        << top_margin << " above, " << bottom_margin << " below";
}

// Two runs of the generator give the same bytes: a build is reproducible.
TEST(AssetGenerator, WritesTheSameBytesOnEveryRun)
{
    TempDir a, b;
    ASSERT_EQ(run_program({KESTRAVA_ASSETGEN, a.path()}).status, 0);
    ASSERT_EQ(run_program({KESTRAVA_ASSETGEN, b.path()}).status, 0);
    for (int i = 0; i < DATA_FILE_COUNT; ++i) {
        const std::string file = data_file_name(DataFile(i));
        EXPECT_TRUE(!a.read(file).empty() && a.read(file) == b.read(file)) << file << " missing or not the same twice";
    }
}

}  // namespace
