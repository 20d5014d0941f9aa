// Surfaces, cell copies, keyed and opaque blits with clipping, the clip
// list and text, on real 8-bit SDL surfaces sharing one palette.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <tuple>
#include <utility>

#include "formats/bmp.h"
#include "graphics/surface.h"

namespace {

// Entry i is (i, 255 - i, i / 2).
struct SharedPalette {
    SDL_Palette* palette = SDL_AllocPalette(256);
    SharedPalette()
    {
        SDL_Color colours[256];
        for (int i = 0; i < 256; ++i) colours[i] = SDL_Color{Uint8(i), Uint8(255 - i), Uint8(i / 2), 255};
        SDL_SetPaletteColors(palette, colours, 0, 256);
        surface_set_palette(palette);
    }
    ~SharedPalette()
    {
        surface_set_palette(nullptr);
        SDL_FreePalette(palette);
    }
};

uint8_t& pixel(Surface* s, int x, int y) { return static_cast<uint8_t*>(s->pixels)[y * s->pitch + x]; }
void fill(Surface* s, uint8_t index) { SDL_FillRect(s, nullptr, index); }

struct At {
    int x, y, index;
};
void expect_pixels(Surface* s, std::initializer_list<At> want)
{
    for (const At& w : want) EXPECT_EQ(pixel(s, w.x, w.y), w.index) << "at " << w.x << "," << w.y;
}

Surface* screen()
{
    Surface* s = surface_create(640, 480, DDSCAPS_VIDEOMEMORY, -1);
    const Rect whole{0, 0, 640, 480};
    clipper_release(clipper_attach(s, 1, &whole));
    fill(s, 3);
    return s;
}

}  // namespace

TEST(Surface, WidthsRoundUpToEightAndKeySwitch)
{
    SharedPalette shared;
    const std::pair<int, int> widths[] = {{8, 8}, {18, 24}, {22, 24}, {30, 32}, {31, 32}, {42, 48}, {640, 640}};
    for (const auto& [asked, made] : widths) {
        Surface* s = surface_create(asked, 5, DDSCAPS_VIDEOMEMORY, 0);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(std::make_tuple(s->w, s->h, s->format->palette), std::make_tuple(made, 5, shared.palette)) << asked;
        surface_release(s);
    }
    for (int key : {-1, 0, 5}) {
        Surface* s = surface_create(8, 8, DDSCAPS_VIDEOMEMORY, key);
        Uint32 colour_key = 99;
        EXPECT_EQ(SDL_GetColorKey(s, &colour_key) == 0, key >= 0) << key;
        EXPECT_EQ(colour_key, key >= 0 ? 0u : 99u) << "index 0, whatever the switch said";
        surface_release(s);
    }
    EXPECT_EQ(surface_create(0, 8, 0, 0), nullptr);
}

// A sheet of 4 x 2 cells of 22 x 18 on a grid of index 9, cell (c, r) filled
// with 10 + c + 20 r; read bordered, then plain and stored bottom-up.
TEST(Surface, CellsOfBorderedAndPlainSheets)
{
    SharedPalette shared;
    LoadedBitmap sheet{};
    sheet.info_header.biWidth = 4 * 23 + 1;
    sheet.info_header.biHeight = -39;
    sheet.info_header.biBitCount = 8;
    const auto stride = size_t(bmp_row_stride(sheet.info_header.biWidth, 8));
    sheet.pixel_bytes = stride * 39;
    sheet.pixels = static_cast<uint8_t*>(std::malloc(sheet.pixel_bytes));
    std::memset(sheet.pixels, 9, sheet.pixel_bytes);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c)
            for (int y = 0; y < 18; ++y) std::memset(sheet.pixels + (r * 19 + 1 + y) * stride + c * 23 + 1, 10 + c + 20 * r, 22);
    Surface* s = surface_create(22, 18, DDSCAPS_VIDEOMEMORY, 0);
    ASSERT_EQ(surface_fill_from_cell(sheet, s, 22, 18, 2, 0, 1), 1);
    expect_pixels(s, {{0, 0, 12}, {21, 17, 12}, {22, 0, 0}});  // the rounding columns are never written
    ASSERT_EQ(surface_fill_from_cell(sheet, s, 22, 18, 2, 1, 1), 1);
    expect_pixels(s, {{0, 0, 32}, {21, 17, 32}});
    // A cell past the sheet's edge or bigger than the surface is refused and
    // writes nothing.
    fill(s, 77);
    EXPECT_EQ(surface_fill_from_cell(sheet, s, 22, 18, 4, 0, 1), 0);
    EXPECT_EQ(surface_fill_from_cell(sheet, s, 22, 18, 0, 2, 1), 0);
    EXPECT_EQ(surface_fill_from_cell(sheet, s, 30, 18, 0, 0, 1), 0);
    EXPECT_EQ(pixel(s, 0, 0), 77);
    // Plain cell (1, 1) starts at sheet pixel (22, 18).
    sheet.info_header.biHeight = 39;
    ASSERT_EQ(surface_fill_from_cell(sheet, s, 22, 18, 1, 1, 0), 1);
    expect_pixels(s, {{0, 0, 10}, {1, 0, 9}, {0, 1, 9}, {2, 2, 31}, {21, 17, 31}});
    bmp_release(sheet);
    surface_release(s);
}

TEST(Blit, KeyedAndOpaqueSpritesClippedAtTheEdgesAndByTheClipList)
{
    SharedPalette shared;
    Surface* dst = screen();
    Surface* sprite = surface_create(31, 30, DDSCAPS_VIDEOMEMORY, 0);
    fill(sprite, 0);
    // Column c of the sprite holds 100 + c, but for a transparent hole at (15, 15).
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 31; ++x) pixel(sprite, x, y) = uint8_t(100 + x);
    pixel(sprite, 15, 15) = 0;
    EXPECT_EQ(surface_blit(sprite, -10, 50, 31, 30, dst, 1), 1);
    // The right-hand 21 columns land in 0..20; index 0 lets the backdrop show.
    expect_pixels(dst, {{0, 50, 110}, {20, 79, 130}, {21, 60, 3}, {5, 65, 3}, {0, 49, 3}, {0, 80, 3}});
    // Opaque, the same sprite writes its 0 too, and only the width asked (not
    // the rounded one); its key survives the blit.
    EXPECT_EQ(surface_blit(sprite, 600, 0, 31, 30, dst, 0), 1);
    expect_pixels(dst, {{615, 15, 0}, {631, 0, 3}});
    EXPECT_EQ(SDL_HasColorKey(sprite), SDL_TRUE);
    fill(sprite, 0);
    surface_blit(sprite, 10, 10, 8, 8, dst, 1);
    EXPECT_EQ(pixel(dst, 12, 12), 3);
    surface_blit(sprite, 10, 10, 8, 8, dst, 0);
    EXPECT_EQ(pixel(dst, 12, 12), 0);
    EXPECT_EQ(surface_blit(nullptr, 0, 0, 8, 8, dst, 1), 0);

    // The clip list bounds every blit onto its surface; an empty list draws
    // nothing.
    fill(sprite, 7);
    fill(dst, 3);
    const Rect two[] = {{10, 20, 30, 40}, {5, 25, 50, 35}};
    Clipper* c = clipper_attach(dst, 2, two);
    ASSERT_NE(c, nullptr);
    surface_blit(sprite, 0, 0, 31, 30, dst, 0);
    surface_blit(sprite, 30, 30, 31, 30, dst, 0);
    expect_pixels(dst, {{5, 20, 7}, {4, 20, 3}, {30, 19, 3}, {49, 39, 7}, {50, 39, 3}, {49, 40, 3}});
    clipper_release(c);
    SDL_SetClipRect(dst, nullptr);
    fill(dst, 3);
    c = clipper_attach(dst, 0, nullptr);
    ASSERT_NE(c, nullptr);
    surface_blit(sprite, 0, 0, 31, 30, dst, 0);
    EXPECT_EQ(pixel(dst, 10, 10), 3);
    clipper_release(c);
    surface_release(sprite);

    // The intro image rising from below.
    SDL_SetClipRect(dst, nullptr);
    Surface* intro = surface_create(640, 480, DDSCAPS_VIDEOMEMORY, 0);
    for (int y = 0; y < 480; ++y) std::memset(&pixel(intro, 0, y), 1 + y % 200, 640);
    surface_blit(intro, 0, 400, 640, 480, dst, 1);
    expect_pixels(dst, {{0, 399, 3}, {0, 400, 1}, {0, 479, 80}});
    surface_release(intro);
    surface_release(dst);
}

TEST(Text, GlyphsInTheNearestPaletteIndexOverATransparentBackground)
{
    SharedPalette shared;
    ASSERT_EQ(text_init(TEXT_FONT_PATH), 1);
    Surface* dst = screen();
    const auto* px = static_cast<uint8_t*>(dst->pixels);  // rows of 640
    const auto count = [&](int row, int end_row, uint8_t index) { return std::count(px + 640 * row, px + 640 * end_row, index); };
    EXPECT_EQ(text_draw("", 10, 10, 0x0000FF, dst), 1);
    EXPECT_EQ(count(0, 480, 3), 640 * 480);
    // (200, 55, 100) is entry 200: all that is written, in a line about 16
    // pixels high.
    EXPECT_EQ(text_draw("SCORE: 10", 100, 100, 0x6437C8, dst), 1);
    EXPECT_GT(count(100, 117, 200), 100);
    EXPECT_EQ(count(100, 117, 200) + count(100, 117, 3), 640 * 17);
    EXPECT_EQ(count(0, 100, 3) + count(117, 480, 3), 640 * 463);

    // Text crossing the screen edge is clipped, not wrapped.
    fill(dst, 3);
    text_draw("WWWWWWWW", 600, 470, 0x6437C8, dst);
    EXPECT_EQ(pixel(dst, 0, 0), 3);
    text_shutdown();
    EXPECT_EQ(text_draw("x", 0, 0, 0, dst), 0);
    surface_release(dst);
}
