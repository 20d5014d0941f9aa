// The generated images, read back with the game's own BMP reader, and checked
// for the ways the art could break the game: wrong sizes or palettes, cells
// off the grid, frozen animations, a ship that points the wrong way, an
// explosion away from its body, intro text that the scroll would cut off.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "formats/bmp.h"

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
    int cell_w, cell_h, cols, rows;
    int min_w, min_h;  // what the loader's cuts need
};
constexpr SheetLayout SHEETS[] = {
    {"Projectile.bmp", 8, 8, 3, 1, 27, 9},    {"Explosion.bmp", 42, 36, 10, 1, 430, 37},
    {"Astronaut.bmp", 18, 20, 6, 1, 114, 21}, {"star.bmp", 30, 24, 5, 1, 155, 25},
    {"Asteroid.bmp", 31, 30, 16, 1, 512, 31}, {"PlayerShip.bmp", 22, 18, 16, 2, 368, 38},
};
constexpr const char* SCREENS[] = {"splash.bmp", "backdrop.bmp", "introtext.bmp"};

// One cell's pixels, row by row.
std::vector<uint8_t> cell(const Picture& p, const SheetLayout& s, int col, int row)
{
    std::vector<uint8_t> out;
    int x0 = col * (s.cell_w + 1) + 1, y0 = row * (s.cell_h + 1) + 1;
    for (int y = 0; y < s.cell_h; ++y)
        for (int x = 0; x < s.cell_w; ++x) out.push_back(p.at(x0 + x, y0 + y));
    return out;
}

double luminance(const Picture& p, uint8_t index)
{
    const PALETTEENTRY& e = p.bmp.palette[index];
    return 0.3 * e.peRed + 0.59 * e.peGreen + 0.11 * e.peBlue;
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
            EXPECT_EQ(p.bmp.palette[i].peRed, pal[i].peRed) << file << " " << i;
            EXPECT_EQ(p.bmp.palette[i].peGreen, pal[i].peGreen) << file << " " << i;
            EXPECT_EQ(p.bmp.palette[i].peBlue, pal[i].peBlue) << file << " " << i;
        }
    };
    for (const char* file : SCREENS) check(file, 640, 480);
    for (const SheetLayout& s : SHEETS) {
        // The grid runs round every cell, the outer edge included.
        check(s.file, s.cols * (s.cell_w + 1) + 1, s.rows * (s.cell_h + 1) + 1);
        EXPECT_GE(s.cols * (s.cell_w + 1) + 1, s.min_w);
        EXPECT_GE(s.rows * (s.cell_h + 1) + 1, s.min_h);
    }
}

TEST(GeneratedImages, EverySheetCellIsFramedDrawnAndDistinct)
{
    for (const SheetLayout& s : SHEETS) {
        Picture p(s.file);
        ASSERT_TRUE(p.ok) << s.file;
        ASSERT_EQ(p.w, s.cols * (s.cell_w + 1) + 1) << s.file;
        ASSERT_EQ(p.h, s.rows * (s.cell_h + 1) + 1) << s.file;
        for (int row = 0; row < s.rows; ++row)
            for (int col = 0; col < s.cols; ++col) {
                int x0 = col * (s.cell_w + 1) + 1, y0 = row * (s.cell_h + 1) + 1;
                int frame_gaps = 0;
                for (int x = x0 - 1; x <= x0 + s.cell_w; ++x)
                    frame_gaps += (p.at(x, y0 - 1) == 0) + (p.at(x, y0 + s.cell_h) == 0);
                for (int y = y0; y < y0 + s.cell_h; ++y)
                    frame_gaps += (p.at(x0 - 1, y) == 0) + (p.at(x0 + s.cell_w, y) == 0);
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
            for (int a = 0; a < s.cols; ++a)
                for (int b = a + 1; b < s.cols; ++b)
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
        for (int y = 0; y < s.cell_h; ++y)
            for (int x = 0; x < s.cell_w; ++x) {
                size_t i = size_t(y * s.cell_w + x);
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

TEST(GeneratedImages, AsteroidIsLitFromTheSameSideInEveryTurn)
{
    const SheetLayout& s = SHEETS[4];
    Picture p(s.file);
    ASSERT_TRUE(p.ok);
    for (int f = 0; f < s.cols; ++f) {
        std::vector<uint8_t> px = cell(p, s, f, 0);
        double lit[2] = {0, 0}, count[2] = {0, 0};
        for (int y = 0; y < s.cell_h; ++y)
            for (int x = 0; x < s.cell_w; ++x) {
                uint8_t v = px[size_t(y * s.cell_w + x)];
                if (!v) continue;
                int half = (x + y < (s.cell_w + s.cell_h) / 2) ? 0 : 1;  // upper left, lower right
                lit[half] += luminance(p, v);
                count[half] += 1;
            }
        ASSERT_GT(count[0], 0);
        ASSERT_GT(count[1], 0);
        EXPECT_GT(lit[0] / count[0], 1.3 * lit[1] / count[1]) << "frame " << f;
    }
}

TEST(GeneratedImages, ExplosionSitsOnTheBodyAndBurnsOut)
{
    const SheetLayout& s = SHEETS[1];
    Picture p(s.file);
    ASSERT_TRUE(p.ok);
    // The sheet is drawn with its top-left on the body's top-left, and the
    // bodies' centres lie between (9, 9) and (15, 15) of their sprites.
    std::vector<double> bright;
    for (int f = 0; f < s.cols; ++f) {
        std::vector<uint8_t> px = cell(p, s, f, 0);
        double sx = 0, sy = 0, n = 0, light = 0;
        for (int y = 0; y < s.cell_h; ++y)
            for (int x = 0; x < s.cell_w; ++x)
                if (uint8_t v = px[size_t(y * s.cell_w + x)]) {
                    sx += x + 0.5;
                    sy += y + 0.5;
                    n += 1;
                    light += luminance(p, v);
                }
        ASSERT_GT(n, 0) << "frame " << f;
        if (f < 6) {
            EXPECT_GT(sx / n, 8.0) << "frame " << f;
            EXPECT_LT(sx / n, 17.0) << "frame " << f;
            EXPECT_GT(sy / n, 8.0) << "frame " << f;
            EXPECT_LT(sy / n, 17.0) << "frame " << f;
        }
        bright.push_back(light);
    }
    // It flares first and fades to sparks at the end.
    size_t peak = size_t(std::max_element(bright.begin(), bright.end()) - bright.begin());
    EXPECT_LE(peak, 5u);
    EXPECT_LT(bright.back(), bright[peak] / 10.0);
    for (size_t f = peak + 1; f < bright.size(); ++f) EXPECT_LT(bright[f], bright[f - 1]) << "frame " << f;
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

std::vector<char> slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(AssetGenerator, WritesTheSameBytesOnEveryRun)
{
    namespace fs = std::filesystem;
    const fs::path base = fs::temp_directory_path() / ("kestrava-assetgen-" + std::to_string(getpid()));
    const fs::path a = base / "a", b = base / "b";
    fs::remove_all(base);
    fs::create_directories(a);
    fs::create_directories(b);
    for (const fs::path& dir : {a, b}) {
        const std::string cmd = std::string("'") + KESTRAVA_ASSETGEN + "' '" + dir.string() + "' > /dev/null 2>&1";
        int status = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << cmd;
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(a)) names.push_back(entry.path().filename().string());
    for (const char* want : {"splash.bmp", "backdrop.bmp", "introtext.bmp", "star.bmp", "Asteroid.bmp",
                             "PlayerShip.bmp", "Projectile.bmp", "Explosion.bmp", "Astronaut.bmp"})
        EXPECT_NE(std::find(names.begin(), names.end(), want), names.end()) << want;
    size_t in_b = 0;
    for (const auto& entry : fs::directory_iterator(b)) in_b += entry.is_regular_file();
    EXPECT_EQ(in_b, names.size());
    for (const std::string& name : names) {
        std::vector<char> first = slurp(a / name), second = slurp(b / name);
        EXPECT_FALSE(first.empty()) << name;
        EXPECT_TRUE(first == second) << name << " differs between two runs";
    }
    fs::remove_all(base);
}

}  // namespace
