// The player's ship must be the body the eye finds first on the field: read
// back from the generated sheets, it outshines the brighter of rock and
// astronaut, and its colour is one the greys and tans of the rocks lack.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "formats/bmp.h"
#include "game/sprite_sizes.h"

namespace {

struct SheetLook {
    double luminance = 0.0;  // mean relative luminance of the drawn pixels
    double chroma = 0.0;     // mean of max(r, g, b) - min(r, g, b), 0..255
};

double linear(uint8_t c)
{
    const double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// Over the cells of one row of a sheet laid out on the one-pixel grid.
SheetLook look(const char* file, const SpriteSize& cell, int row)
{
    const std::string path = std::string(KESTRAVA_DATA_DIR) + "/" + file;
    LoadedBitmap bmp{};
    EXPECT_EQ(bmp_read(bmp, path.c_str()), 1) << path;
    SheetLook out;
    if (!bmp.pixels) return out;
    const int64_t stride = bmp_row_stride(bmp.info_header.biWidth, bmp.info_header.biBitCount);
    int drawn = 0;
    for (int c = 0; c < cell.frames; ++c)
        for (int y = 0; y < cell.height; ++y)
            for (int x = 0; x < cell.width; ++x) {
                const size_t at = size_t(row * (cell.height + 1) + 1 + y) * size_t(stride) +
                                  size_t(c * (cell.width + 1) + 1 + x);
                const uint8_t index = bmp.pixels[at];
                if (index == 0) continue;  // the transparent key
                const PALETTEENTRY& e = bmp.palette[index];
                out.luminance += 0.2126 * linear(e.peRed) + 0.7152 * linear(e.peGreen) + 0.0722 * linear(e.peBlue);
                out.chroma += std::max({e.peRed, e.peGreen, e.peBlue}) - std::min({e.peRed, e.peGreen, e.peBlue});
                ++drawn;
            }
    bmp_release(bmp);
    EXPECT_GT(drawn, 0) << file;
    out.luminance /= std::max(drawn, 1);
    out.chroma /= std::max(drawn, 1);
    return out;
}

TEST(ShipVisibility, OutshinesRockAndAstronautInItsOwnColour)
{
    const SheetLook rock = look("Asteroid.bmp", ASTEROID_SPRITE, 0);
    const SheetLook astronaut = look("Astronaut.bmp", ASTRONAUT_SPRITE, 0);
    const double brightest_other = std::max(rock.luminance, astronaut.luminance);
    for (int row = 0; row < 2; ++row) {  // coasting, then under thrust
        const SheetLook ship = look("PlayerShip.bmp", SHIP_SPRITE, row);
        EXPECT_GE(ship.luminance, 1.3 * brightest_other)
            << "row " << row << ": ship " << ship.luminance << ", rock " << rock.luminance << ", astronaut "
            << astronaut.luminance;
        EXPECT_GT(ship.chroma, 2.0 * rock.chroma) << "row " << row << ": the ship is drawn in the rocks' greys";
    }
}

}  // namespace
