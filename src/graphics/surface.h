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

// The memory class asked of a surface; SDL keeps every surface alike.
constexpr uint32_t DDSCAPS_VIDEOMEMORY = 0x4000;

struct Rect {
    int32_t left;
    int32_t top;
    int32_t right;   // exclusive
    int32_t bottom;  // exclusive
};

// A clip list as the game builds it: a header, the bounding box of its
// rectangles, then the rectangles. SDL clips to one rectangle, the bound.
constexpr int CLIP_MAX_RECTS = 8;
struct Clipper {
    uint32_t dwSize;
    uint32_t iType;
    uint32_t nCount;
    uint32_t nRgnSize;
    Rect rcBound;
    Rect rects[CLIP_MAX_RECTS];
};

// Every surface made from now on shares this palette object.
void surface_set_palette(SDL_Palette* palette);

Surface* surface_create(int width, int height, uint32_t memory_caps, int key_switch);
int surface_fill_from_cell(const LoadedBitmap& bitmap, Surface* surface, int cell_width, int cell_height,
                           int cell_column, int cell_row, int bordered);
int surface_blit(Surface* source, int x, int y, int width, int height, Surface* destination, int keyed);
// SDL sets up (and allocates) what it needs for a source and destination
// pair on their first copy; this does it ahead, at start-up, so that no frame
// allocates.
void surface_prepare(Surface* source, Surface* destination);
Clipper* clipper_attach(Surface* surface, int rect_count, const Rect* rects);
void clipper_release(Clipper* clipper);
void surface_release(Surface* surface);

// Text: glyphs are rendered once by text_init and written as single palette
// indices with a transparent background. Colour is a COLORREF, 0x00BBGGRR.
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
