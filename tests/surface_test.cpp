// Surfaces, cells, blits, the clip list and text on real 8-bit SDL surfaces.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <tuple>
#include <utility>

#include "formats/bmp.h"
#include "graphics/surface.h"

namespace {

uint8_t& pixel(Surface* s, int x, int y) { return static_cast<uint8_t*>(s->pixels)[y * s->pitch + x]; }
void fill(Surface* s, uint8_t index) { SDL_FillRect(s, nullptr, index); }

// Each {x, y, index} wanted.
void expect_pixels(Surface* s, std::initializer_list<std::array<int, 3>> want)
{
    for (const auto& [x, y, index] : want) EXPECT_EQ(pixel(s, x, y), index) << "at " << x << "," << y;
}

// A 640 x 480 screen of index 3, clipped to itself, in a palette whose entry
// i is (i, 255 - i, i / 2).
class Surfaces : public ::testing::Test {
protected:
    SDL_Palette* palette = SDL_AllocPalette(256);
    Surface* screen = nullptr;
    void SetUp() override
    {
        SDL_Color colours[256];
        for (int i = 0; i < 256; ++i) colours[i] = SDL_Color{Uint8(i), Uint8(255 - i), Uint8(i / 2), 255};
        SDL_SetPaletteColors(palette, colours, 0, 256);
        surface_set_palette(palette);
        screen = surface_create(640, 480, -1);
        const Rect whole{0, 0, 640, 480};
        clipper_attach(screen, 1, &whole);
        fill(screen, 3);
    }
    void TearDown() override
    {
        surface_release(screen);
        surface_set_palette(nullptr);
        SDL_FreePalette(palette);
    }
};

TEST_F(Surfaces, WidthsRoundUpToEightAndKeySwitch)
{
    const std::pair<int, int> widths[] = {{8, 8}, {18, 24}, {22, 24}, {30, 32}, {31, 32}, {42, 48}, {640, 640}};
    for (const auto& [asked, made] : widths) {
        Surface* s = surface_create(asked, 5, 0);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(std::make_tuple(s->w, s->h, s->format->palette), std::make_tuple(made, 5, palette)) << asked;
        surface_release(s);
    }
    for (int key : {-1, 0, 5}) {
        Surface* s = surface_create(8, 8, key);
        Uint32 colour_key = 99;
        EXPECT_EQ(SDL_GetColorKey(s, &colour_key) == 0, key >= 0) << key;
        EXPECT_EQ(colour_key, key >= 0 ? 0u : 99u) << "index 0, whatever the switch said";
        surface_release(s);
    }
    EXPECT_EQ(surface_create(0, 8, 0), nullptr);
}

// A sheet of 4 x 2 cells of 22 x 18 on a grid of index 9, cell (c, r) filled
// with 10 + c + 20 r; read bordered, then plain and stored bottom-up.
TEST_F(Surfaces, CellsOfBorderedAndPlainSheets)
{
    LoadedBitmap sheet{};
    sheet.info_header.biWidth = 4 * 23 + 1;
    sheet.info_header.biHeight = -39;
    sheet.info_header.biBitCount = 8;
    const auto stride = size_t(bmp_row_stride(sheet.info_header.biWidth, 8));
    sheet.pixel_bytes = stride * 39;
    sheet.pixels = static_cast<uint8_t*>(std::malloc(sheet.pixel_bytes));
    for (size_t i = 0; i < sheet.pixel_bytes; ++i) {
        const size_t x = i % stride, y = i / stride;
        sheet.pixels[i] = uint8_t(x % 23 && y % 19 && x < 93 ? 10 + x / 23 + 20 * (y / 19) : 9);
    }
    Surface* s = surface_create(22, 18, 0);
    const auto cell = [&](int width, int col, int row, int grid) {
        return surface_fill_from_cell(sheet, s, width, 18, col, row, grid);
    };
    ASSERT_EQ(cell(22, 2, 0, 1), 1);
    expect_pixels(s, {{0, 0, 12}, {21, 17, 12}, {22, 0, 0}});  // the rounding columns are never written
    ASSERT_EQ(cell(22, 2, 1, 1), 1);
    expect_pixels(s, {{0, 0, 32}, {21, 17, 32}});
    // A cell past the sheet or bigger than the surface is refused, writing nothing.
    fill(s, 77);
    EXPECT_EQ(std::tuple(cell(22, 4, 0, 1), cell(22, 0, 2, 1), cell(30, 0, 0, 1), pixel(s, 0, 0)),
              std::tuple(0, 0, 0, 77));
    // Plain cell (1, 1) starts at sheet pixel (22, 18).
    sheet.info_header.biHeight = 39;
    ASSERT_EQ(cell(22, 1, 1, 0), 1);
    expect_pixels(s, {{0, 0, 10}, {1, 0, 9}, {0, 1, 9}, {2, 2, 31}, {21, 17, 31}});
    bmp_release(sheet);
    surface_release(s);
}

TEST_F(Surfaces, BlitsKeyedAndOpaqueClippedAtTheEdgesAndByTheClipList)
{
    Surface* sprite = surface_create(31, 30, 0);
    // Column c of the sprite holds 100 + c, but for a transparent hole at (15, 15).
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 31; ++x) pixel(sprite, x, y) = uint8_t(x == 15 && y == 15 ? 0 : 100 + x);
    EXPECT_EQ(surface_blit(sprite, -10, 50, 31, 30, screen, 1), 1);
    // The right-hand 21 columns land in 0..20; index 0 lets the backdrop show.
    expect_pixels(screen, {{0, 50, 110}, {20, 79, 130}, {21, 60, 3}, {5, 65, 3}, {0, 49, 3}, {0, 80, 3}});
    // Opaque it writes its 0 too, only the width asked; its key survives.
    EXPECT_EQ(surface_blit(sprite, 600, 0, 31, 30, screen, 0), 1);
    expect_pixels(screen, {{615, 15, 0}, {631, 0, 3}});
    EXPECT_EQ(std::pair(SDL_HasColorKey(sprite), surface_blit(nullptr, 0, 0, 8, 8, screen, 1)), std::pair(SDL_TRUE, 0));

    // The intro image rising from below.
    Surface* intro = surface_create(640, 480, 0);
    for (int y = 0; y < 480; ++y) std::memset(&pixel(intro, 0, y), 1 + y % 200, 640);
    surface_blit(intro, 0, 400, 640, 480, screen, 1);
    expect_pixels(screen, {{0, 399, 3}, {0, 400, 1}, {0, 479, 80}});
    surface_release(intro);

    // The clip list bounds every blit; an empty list draws nothing.
    fill(sprite, 7);
    fill(screen, 3);
    const Rect two[] = {{10, 20, 30, 40}, {5, 25, 50, 35}};
    ASSERT_EQ(clipper_attach(screen, 2, two), 1);
    surface_blit(sprite, 0, 0, 31, 30, screen, 0);
    surface_blit(sprite, 30, 30, 31, 30, screen, 0);
    expect_pixels(screen, {{5, 20, 7}, {4, 20, 3}, {30, 19, 3}, {49, 39, 7}, {50, 39, 3}, {49, 40, 3}});
    fill(screen, 3);
    EXPECT_EQ(std::pair(clipper_attach(screen, 0, nullptr), clipper_attach(nullptr, 0, nullptr)), std::pair(1, 0));
    surface_blit(sprite, 0, 0, 31, 30, screen, 0);
    EXPECT_EQ(pixel(screen, 10, 10), 3);
    surface_release(sprite);
}

TEST_F(Surfaces, TextInTheNearestPaletteIndexOverATransparentBackground)
{
    ASSERT_EQ(text_init(TEXT_FONT_PATH), 1);
    const auto* px = static_cast<uint8_t*>(screen->pixels);  // rows of 640
    const auto count = [&](int row, int end, uint8_t i) { return std::count(px + 640 * row, px + 640 * end, i); };
    EXPECT_EQ(std::pair(text_draw("", 10, 10, 0x0000FF, screen), count(0, 480, 3)), std::pair(1, 640L * 480));
    // (200, 55, 100) is entry 200, all that is written, in a line 16 pixels high.
    EXPECT_EQ(text_draw("SCORE: 10", 100, 100, 0x6437C8, screen), 1);
    EXPECT_GT(count(100, 117, 200), 100);
    EXPECT_EQ(count(100, 117, 200) + count(100, 117, 3), 640 * 17);
    EXPECT_EQ(count(0, 100, 3) + count(117, 480, 3), 640 * 463);
    // Text crossing the screen edge is clipped, not wrapped.
    fill(screen, 3);
    text_draw("WWWWWWWW", 600, 470, 0x6437C8, screen);
    EXPECT_EQ(pixel(screen, 0, 0), 3);
    text_shutdown();
    EXPECT_EQ(text_draw("x", 0, 0, 0, screen), 0);
}

}  // namespace
