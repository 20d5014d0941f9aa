// Surfaces, cell copies, keyed and opaque blits with clipping, the clip
// list and text, on real 8-bit SDL surfaces sharing one palette.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "formats/bmp.h"
#include "graphics/surface.h"

namespace {

struct SharedPalette {
    SDL_Palette* palette;
    SharedPalette()
    {
        palette = SDL_AllocPalette(256);
        SDL_Color colours[256];
        for (int i = 0; i < 256; ++i)
            colours[i] = SDL_Color{static_cast<Uint8>(i), static_cast<Uint8>(255 - i), static_cast<Uint8>(i / 2), 255};
        SDL_SetPaletteColors(palette, colours, 0, 256);
        surface_set_palette(palette);
    }
    ~SharedPalette()
    {
        surface_set_palette(nullptr);
        SDL_FreePalette(palette);
    }
};

uint8_t pixel(Surface* s, int x, int y) { return static_cast<uint8_t*>(s->pixels)[y * s->pitch + x]; }

void fill(Surface* s, uint8_t index) { SDL_FillRect(s, nullptr, index); }

Surface* screen()
{
    Surface* s = surface_create(640, 480, DDSCAPS_VIDEOMEMORY, -1);
    const Rect whole{0, 0, 640, 480};
    clipper_release(clipper_attach(s, 1, &whole));
    return s;
}

// A sheet in memory: `cells` cells of w x h in one bordered row, grid lines
// of index 9, cell c filled with index 10 + c.
LoadedBitmap bordered_sheet(int w, int h, int cells, int rows = 1)
{
    LoadedBitmap b{};
    b.info_header.biWidth = cells * (w + 1) + 1;
    b.info_header.biHeight = -(rows * (h + 1) + 1);
    b.info_header.biBitCount = 8;
    const auto stride = static_cast<size_t>(bmp_row_stride(b.info_header.biWidth, 8));
    b.pixel_bytes = stride * static_cast<size_t>(rows * (h + 1) + 1);
    b.pixels = static_cast<uint8_t*>(std::malloc(b.pixel_bytes));
    std::memset(b.pixels, 9, b.pixel_bytes);
    for (int j = 0; j < rows; ++j)
        for (int c = 0; c < cells; ++c)
            for (int y = 0; y < h; ++y)
                std::memset(b.pixels + (j * (h + 1) + 1 + y) * stride + c * (w + 1) + 1, 10 + c + 20 * j,
                            static_cast<size_t>(w));
    return b;
}

}  // namespace

TEST(Surface, WidthsRoundUpToEightAndKeySwitch)
{
    SharedPalette shared;
    const int asked[] = {8, 18, 22, 30, 31, 42, 640};
    const int made[] = {8, 24, 24, 32, 32, 48, 640};
    for (int i = 0; i < 7; ++i) {
        Surface* s = surface_create(asked[i], 5, DDSCAPS_VIDEOMEMORY, 0);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->w, made[i]);
        EXPECT_EQ(s->h, 5);
        EXPECT_EQ(s->format->palette, shared.palette);
        surface_release(s);
    }
    for (int key : {-1, 0, 5}) {
        Surface* s = surface_create(8, 8, DDSCAPS_VIDEOMEMORY, key);
        Uint32 colour_key = 99;
        EXPECT_EQ(SDL_HasColorKey(s), key >= 0 ? SDL_TRUE : SDL_FALSE);
        if (key >= 0) {
            SDL_GetColorKey(s, &colour_key);
            EXPECT_EQ(colour_key, 0u);  // index 0, whatever the switch said
        }
        surface_release(s);
    }
    EXPECT_EQ(surface_create(0, 8, 0, 0), nullptr);
}

TEST(Surface, CellsOfBorderedAndPlainSheets)
{
    SharedPalette shared;
    LoadedBitmap sheet = bordered_sheet(22, 18, 4, 2);
    Surface* s = surface_create(22, 18, DDSCAPS_VIDEOMEMORY, 0);
    ASSERT_EQ(surface_fill_from_cell(sheet, s, 22, 18, 2, 0, 1), 1);
    EXPECT_EQ(pixel(s, 0, 0), 12);  // cell (2, 0) starts at sheet pixel (47, 1)
    EXPECT_EQ(pixel(s, 21, 17), 12);
    EXPECT_EQ(pixel(s, 22, 0), 0);  // the rounding columns are never written
    ASSERT_EQ(surface_fill_from_cell(sheet, s, 22, 18, 2, 1, 1), 1);
    EXPECT_EQ(pixel(s, 0, 0), 32);  // cell (2, 1) at (47, 20)
    // A cell past the sheet's edge or bigger than the surface is refused and
    // writes nothing.
    fill(s, 77);
    EXPECT_EQ(surface_fill_from_cell(sheet, s, 22, 18, 4, 0, 1), 0);
    EXPECT_EQ(surface_fill_from_cell(sheet, s, 22, 18, 0, 2, 1), 0);
    EXPECT_EQ(surface_fill_from_cell(sheet, s, 30, 18, 0, 0, 1), 0);
    EXPECT_EQ(pixel(s, 0, 0), 77);
    bmp_release(sheet);

    // Plain: cell (0, 0) of 640 x 480 is the whole image.
    LoadedBitmap full{};
    full.info_header.biWidth = 640;
    full.info_header.biHeight = 480;
    full.info_header.biBitCount = 8;
    full.pixel_bytes = 640 * 480;
    full.pixels = static_cast<uint8_t*>(std::malloc(full.pixel_bytes));
    for (size_t i = 0; i < full.pixel_bytes; ++i) full.pixels[i] = static_cast<uint8_t>(i / 640);
    Surface* big = surface_create(640, 480, DDSCAPS_VIDEOMEMORY, 0);
    ASSERT_EQ(surface_fill_from_cell(full, big, 640, 480, 0, 0, 0), 1);
    EXPECT_EQ(pixel(big, 100, 0), 0);
    EXPECT_EQ(pixel(big, 5, 479), 479 % 256);
    bmp_release(full);
    surface_release(big);
    surface_release(s);
}

TEST(Blit, KeyedSpriteClippedAtTheLeftEdge)
{
    SharedPalette shared;
    Surface* dst = screen();
    fill(dst, 3);
    Surface* sprite = surface_create(31, 30, DDSCAPS_VIDEOMEMORY, 0);
    fill(sprite, 0);
    // Column c of the sprite holds 100 + c, except a transparent hole at (15, 15).
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 31; ++x) static_cast<uint8_t*>(sprite->pixels)[y * sprite->pitch + x] = 100 + x;
    static_cast<uint8_t*>(sprite->pixels)[15 * sprite->pitch + 15] = 0;

    EXPECT_EQ(surface_blit(sprite, -10, 50, 31, 30, dst, 1), 1);
    EXPECT_EQ(pixel(dst, 0, 50), 110);  // the right-hand 21 columns land in 0..20
    EXPECT_EQ(pixel(dst, 20, 79), 130);
    EXPECT_EQ(pixel(dst, 21, 60), 3);
    EXPECT_EQ(pixel(dst, 5, 65), 3);  // index 0 lets the backdrop show
    EXPECT_EQ(pixel(dst, 0, 49), 3);
    EXPECT_EQ(pixel(dst, 0, 80), 3);

    // Opaque, the same sprite writes its 0 too; its key survives the blit.
    EXPECT_EQ(surface_blit(sprite, 600, 0, 31, 30, dst, 0), 1);
    EXPECT_EQ(pixel(dst, 615, 15), 0);
    EXPECT_EQ(SDL_HasColorKey(sprite), SDL_TRUE);
    // Only the width asked is drawn, not the rounded surface width.
    EXPECT_EQ(pixel(dst, 631, 0), 3);
    surface_release(sprite);
    surface_release(dst);
}

TEST(Blit, AllZeroSpriteAndTheIntroImageRisingFromBelow)
{
    SharedPalette shared;
    Surface* dst = screen();
    fill(dst, 3);
    Surface* blank = surface_create(8, 8, DDSCAPS_VIDEOMEMORY, 0);
    fill(blank, 0);
    surface_blit(blank, 10, 10, 8, 8, dst, 1);
    EXPECT_EQ(pixel(dst, 12, 12), 3);
    surface_blit(blank, 10, 10, 8, 8, dst, 0);
    EXPECT_EQ(pixel(dst, 12, 12), 0);
    surface_release(blank);

    Surface* intro = surface_create(640, 480, DDSCAPS_VIDEOMEMORY, 0);
    for (int y = 0; y < 480; ++y) std::memset(static_cast<uint8_t*>(intro->pixels) + y * intro->pitch, 1 + y % 200, 640);
    fill(dst, 3);
    surface_blit(intro, 0, 400, 640, 480, dst, 1);
    EXPECT_EQ(pixel(dst, 0, 399), 3);
    EXPECT_EQ(pixel(dst, 0, 400), 1);   // its top row
    EXPECT_EQ(pixel(dst, 0, 479), 80);  // its row 79
    surface_release(intro);
    EXPECT_EQ(surface_blit(nullptr, 0, 0, 8, 8, dst, 1), 0);
    surface_release(dst);
}

// The clip list bounds every blit onto its surface; an empty list draws
// nothing.
TEST(Clipper, BlitsStayInsideTheList)
{
    SharedPalette shared;
    Surface* dst = surface_create(640, 480, DDSCAPS_VIDEOMEMORY, -1);
    Surface* sprite = surface_create(31, 30, DDSCAPS_VIDEOMEMORY, -1);
    fill(sprite, 7);
    fill(dst, 3);
    const Rect two[] = {{10, 20, 30, 40}, {5, 25, 50, 35}};
    Clipper* c = clipper_attach(dst, 2, two);
    ASSERT_NE(c, nullptr);
    surface_blit(sprite, 0, 0, 31, 30, dst, 0);
    surface_blit(sprite, 30, 30, 31, 30, dst, 0);
    EXPECT_EQ(pixel(dst, 5, 20), 7);
    EXPECT_EQ(pixel(dst, 4, 20), 3);
    EXPECT_EQ(pixel(dst, 30, 19), 3);
    EXPECT_EQ(pixel(dst, 49, 39), 7);
    EXPECT_EQ(pixel(dst, 50, 39), 3);
    EXPECT_EQ(pixel(dst, 49, 40), 3);
    clipper_release(c);
    SDL_SetClipRect(dst, nullptr);
    fill(dst, 3);
    c = clipper_attach(dst, 0, nullptr);
    ASSERT_NE(c, nullptr);
    surface_blit(sprite, 0, 0, 31, 30, dst, 0);
    EXPECT_EQ(pixel(dst, 10, 10), 3);
    clipper_release(c);
    surface_release(sprite);
    surface_release(dst);
}

TEST(Text, GlyphsInTheNearestPaletteIndexOverATransparentBackground)
{
    SharedPalette shared;
    ASSERT_EQ(text_init(TEXT_FONT_PATH), 1);
    Surface* dst = screen();
    fill(dst, 3);
    EXPECT_EQ(text_draw("", 10, 10, 0x0000FF, dst), 1);
    EXPECT_EQ(std::count(static_cast<uint8_t*>(dst->pixels), static_cast<uint8_t*>(dst->pixels) + 640 * 480, 3),
              640 * 480);

    // Palette entry i is (i, 255 - i, i / 2): (200, 55, 100) is entry 200.
    EXPECT_EQ(text_draw("SCORE: 10", 100, 100, 0x6437C8, dst), 1);
    int written = 0, other = 0, top = 480, bottom = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const uint8_t p = pixel(dst, x, y);
            if (p == 200) {
                ++written;
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            } else if (p != 3) {
                ++other;
            }
        }
    EXPECT_GT(written, 100);
    EXPECT_EQ(other, 0);
    EXPECT_GE(top, 100);
    EXPECT_LE(bottom, 116);  // a line about 16 pixels high

    // Text crossing the screen edge is clipped, not wrapped.
    fill(dst, 3);
    text_draw("WWWWWWWW", 600, 470, 0x6437C8, dst);
    EXPECT_EQ(pixel(dst, 0, 0), 3);
    text_shutdown();
    EXPECT_EQ(text_draw("x", 0, 0, 0, dst), 0);
    surface_release(dst);
}
