// Sprite surfaces, blits and text: the only drawing operations the game uses.
// Surfaces are 8-bit SDL surfaces that all share the display's one palette,
// so palette indices are copied unchanged from sheet to screen.
#pragma once

#include <cstdint>
#include <string>

struct SDL_Surface;
struct SDL_Palette;
using Surface = SDL_Surface;
struct LoadedBitmap;

struct Rect {
    int32_t left;
    int32_t top;
    int32_t right;   // exclusive
    int32_t bottom;  // exclusive
};

// Every surface made from now on shares this palette object.
void surface_set_palette(SDL_Palette* palette);

// A surface of the given size, its width rounded up to a multiple of 8, or
// null. With key_switch 0 or more, index 0 is transparent in keyed blits.
Surface* surface_create(int width, int height, int key_switch);
// Copies cell (cell_column, cell_row) of a sheet into the surface's top-left
// corner; `bordered` sheets have a one-pixel grid round every cell. Returns
// 1, or 0, writing nothing, when the cell lies outside the sheet, the sheet
// is not 8 bits a pixel or the surface is smaller than the cell.
int surface_fill_from_cell(const LoadedBitmap& bitmap, Surface* surface, int cell_width, int cell_height,
                           int cell_column, int cell_row, int bordered);
// Copies the source's top-left width x height to (x, y), clipped; `keyed`
// leaves index 0 out. Returns 1, or 0 for a missing surface or SDL's failure.
int surface_blit(Surface* source, int x, int y, int width, int height, Surface* destination, int keyed);
// SDL sets up (and allocates) what it needs for a source and destination
// pair on their first copy; this does it ahead, at start-up, so that no frame
// allocates.
void surface_prepare(Surface* source, Surface* destination);
// Clips every later blit into the surface to the bounding box of the
// rectangles (SDL clips to one rectangle); none clips everything away.
// Returns 1, or 0, changing nothing, without a surface.
int clipper_attach(Surface* surface, int rect_count, const Rect* rects);
// Frees the surface and its opaque view; null is ignored.
void surface_release(Surface* surface);

// Text: glyphs are rendered once by text_init and written as single palette
// indices with a transparent background. Colour is a COLORREF, 0x00BBGGRR.
// text_init returns 1, or 0 when the font cannot be opened; text_draw
// returns 1, or 0 outside text_init and text_shutdown or without a surface
// that has a palette.
int text_init(const char* font_path);
void text_shutdown();
int text_draw(const char* text, int x, int y, uint32_t colour, Surface* surface);

// The relative luminance of a COLORREF's colour: 0 black, 1 white.
float colour_luminance(uint32_t colour);
// The colour of the surface's palette nearest to `colour` among those at
// least `luminance` bright, as a COLORREF that text_draw shows as itself; the
// palette's brightest colour when none is bright enough.
uint32_t text_colour_at_least(uint32_t colour, float luminance, const Surface* surface);

// The game's font is DejaVu Sans Bold: asked of fontconfig first, then looked
// for where Debian puts it.
constexpr const char* TEXT_FONT_NAME = "DejaVu Sans Bold";
constexpr const char* TEXT_FONT_PATH = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
// The font file, or "" when neither fontconfig nor the fixed path has it.
std::string text_find_font();
