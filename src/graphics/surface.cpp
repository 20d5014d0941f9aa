// Surfaces, cell copies, blits, the clip list and text, on 8-bit SDL
// surfaces. Every surface shares the display's palette object so that SDL
// copies indices one to one instead of matching colours.
#include "graphics/surface.h"

#include <SDL.h>
#include <SDL_ttf.h>
#ifndef __EMSCRIPTEN__
#include <fontconfig/fontconfig.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "formats/bmp.h"

static SDL_Palette* shared_palette;  // the display's, given to every new surface

void surface_set_palette(SDL_Palette* palette) { shared_palette = palette; }

// A keyed surface keeps, in its userdata, a second SDL surface over the same
// pixels without the key, for opaque copies: switching the key per blit
// would make SDL rebuild (and allocate) its blit maps every frame.
static Surface* opaque_view(Surface* s) { return static_cast<Surface*>(s->userdata); }

Surface* surface_create(int width, int height, int key_switch)
{
    if (width <= 0 || height <= 0) return nullptr;
    const int rounded = width % 8 ? width + 8 - width % 8 : width;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, rounded, height, 8, SDL_PIXELFORMAT_INDEX8);
    if (!s) return nullptr;
    if (shared_palette) SDL_SetSurfacePalette(s, shared_palette);
    if (key_switch >= 0) {
        SDL_Surface* view =
            SDL_CreateRGBSurfaceWithFormatFrom(s->pixels, s->w, s->h, 8, s->pitch, SDL_PIXELFORMAT_INDEX8);
        if (!view) {
            SDL_FreeSurface(s);
            return nullptr;
        }
        if (shared_palette) SDL_SetSurfacePalette(view, shared_palette);
        s->userdata = view;
        SDL_SetColorKey(s, SDL_TRUE, 0);
    }
    return s;
}

int surface_fill_from_cell(const LoadedBitmap& bitmap, Surface* surface, int cell_width, int cell_height,
                           int cell_column, int cell_row, int bordered)
{
    if (!surface || !bitmap.pixels || cell_width <= 0 || cell_height <= 0) return 0;
    const int64_t x0 = bordered ? int64_t{cell_column} * (cell_width + 1) + 1 : int64_t{cell_column} * cell_width;
    const int64_t y0 = bordered ? int64_t{cell_row} * (cell_height + 1) + 1 : int64_t{cell_row} * cell_height;
    const int64_t stride = bmp_row_stride(bitmap.info_header.biWidth, bitmap.info_header.biBitCount);
    const int64_t rows = bitmap.info_header.biHeight < 0 ? -int64_t{bitmap.info_header.biHeight}
                                                         : int64_t{bitmap.info_header.biHeight};
    // The cell must lie inside the sheet and the surface must hold it.
    if (bitmap.info_header.biBitCount != 8 || x0 < 0 || y0 < 0 || x0 + cell_width > bitmap.info_header.biWidth ||
        y0 + cell_height > rows || (y0 + cell_height - 1) * stride + x0 + cell_width > int64_t(bitmap.pixel_bytes) ||
        cell_width > surface->w || cell_height > surface->h)
        return 0;
    if (SDL_LockSurface(surface) != 0) return 0;
    auto* dst = static_cast<uint8_t*>(surface->pixels);
    for (int r = 0; r < cell_height; ++r) {
        std::memcpy(dst + static_cast<size_t>(r) * surface->pitch,
                    bitmap.pixels + static_cast<size_t>((y0 + r) * stride + x0), static_cast<size_t>(cell_width));
    }
    SDL_UnlockSurface(surface);
    return 1;
}

int surface_blit(Surface* source, int x, int y, int width, int height, Surface* destination, int keyed)
{
    if (!source || !destination) return 0;
    SDL_Rect from{0, 0, width, height};
    SDL_Rect to{x, y, width, height};  // SDL rewrites it; it is ours to lose
    Surface* from_surface = !keyed && opaque_view(source) ? opaque_view(source) : source;
    const int result = SDL_BlitSurface(from_surface, &from, destination, &to);
    return result == 0 ? 1 : 0;
}

void surface_prepare(Surface* source, Surface* destination)
{
    if (!source || !destination) return;
    // An empty copy makes SDL build its blit map without drawing anything.
    SDL_Rect none{0, 0, 0, 0};
    SDL_LowerBlit(source, &none, destination, &none);
    if (opaque_view(source)) SDL_LowerBlit(opaque_view(source), &none, destination, &none);
}

int clipper_attach(Surface* surface, int rect_count, const Rect* rects)
{
    if (!surface) return 0;
    Rect bound{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int i = 0; i < rect_count; ++i) {
        bound = Rect{std::min(bound.left, rects[i].left), std::min(bound.top, rects[i].top),
                     std::max(bound.right, rects[i].right), std::max(bound.bottom, rects[i].bottom)};
    }
    SDL_Rect clip{0, 0, 0, 0};
    if (rect_count > 0) clip = SDL_Rect{bound.left, bound.top, bound.right - bound.left, bound.bottom - bound.top};
    SDL_SetClipRect(surface, &clip);
    return 1;
}

void surface_release(Surface* surface)
{
    if (!surface) return;
    SDL_FreeSurface(opaque_view(surface));
    SDL_FreeSurface(surface);
}

// --- text -------------------------------------------------------------------

// The printable ASCII characters, the only ones the game writes.
constexpr int FIRST_GLYPH = 32;
constexpr int LAST_GLYPH = 126;
constexpr int FONT_POINTS = 13;  // a 16-pixel line in DejaVu Sans Bold

// A glyph's ink, cropped to its bounding box.
struct Glyph {
    int offset_x;  // where the box starts, right of the pen
    int offset_y;  // and below the line's top
    int width;
    int height;
    int advance;  // pixels the pen moves right after it
    size_t mask;  // first byte in glyph_masks
};

static std::array<Glyph, LAST_GLYPH - FIRST_GLYPH + 1> glyphs;  // by character - FIRST_GLYPH
static std::vector<uint8_t> glyph_masks;  // every glyph's ink, 1 a pixel, row by row
static bool text_ready;                   // true from text_init to text_shutdown

// The last colour asked for and its palette index, keyed by the palette's
// version so that a new palette finds its own match.
static uint32_t cached_colour;
static SDL_Palette* cached_palette;
static uint32_t cached_version;
static uint8_t cached_index;

std::string text_find_font()
{
    std::string found;
#ifndef __EMSCRIPTEN__  // the browser's page brings the font to the fixed path
    // Only the very family and a bold weight will do: fontconfig offers its
    // nearest font for any request, and another font changes every text's
    // size on screen.
    if (FcConfig* config = FcInitLoadConfigAndFonts()) {
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("DejaVu Sans:bold"));
        if (pattern) {
            FcConfigSubstitute(config, pattern, FcMatchPattern);
            FcDefaultSubstitute(pattern);
            FcResult result = FcResultNoMatch;
            if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
                FcChar8* family = nullptr;
                FcChar8* file = nullptr;
                int weight = 0;
                if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
                    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight) == FcResultMatch &&
                    FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
                    std::strcmp(reinterpret_cast<const char*>(family), "DejaVu Sans") == 0 &&
                    weight >= FC_WEIGHT_BOLD && access(reinterpret_cast<const char*>(file), R_OK) == 0)
                    found = reinterpret_cast<const char*>(file);
                FcPatternDestroy(match);
            }
            FcPatternDestroy(pattern);
        }
        FcConfigDestroy(config);
    }
#endif
    if (found.empty() && access(TEXT_FONT_PATH, R_OK) == 0) found = TEXT_FONT_PATH;
    return found;
}

int text_init(const char* font_path)
{
    if (text_ready) return 1;
    if (!TTF_WasInit() && TTF_Init() != 0) return 0;
    TTF_Font* font = TTF_OpenFont(font_path, FONT_POINTS);
    if (!font) return 0;
    // Hinted for black-and-white rendering, the stems land whole on the pixel
    // grid: each glyph is one palette index with no soft edge, and hinting
    // meant for grey edges leaves it ragged once the edge is cut away.
    TTF_SetFontHinting(font, TTF_HINTING_MONO);
    glyph_masks.clear();
    const SDL_Color white{255, 255, 255, 255};
    for (int c = FIRST_GLYPH; c <= LAST_GLYPH; ++c) {
        Glyph& g = glyphs[c - FIRST_GLYPH];
        g = Glyph{};
        int minx = 0, maxx = 0, miny = 0, maxy = 0, advance = 0;
        if (TTF_GlyphMetrics(font, static_cast<Uint16>(c), &minx, &maxx, &miny, &maxy, &advance) != 0) continue;
        g.advance = advance;
        const char one[2] = {static_cast<char>(c), '\0'};
        SDL_Surface* s = c == ' ' ? nullptr : TTF_RenderUTF8_Solid(font, one, white);
        if (!s) continue;
        // A glyph that reaches left of the pen is rendered from its own left
        // edge, so shift it back by its bearing; then keep only its ink.
        SDL_LockSurface(s);
        const auto ink = [s](int x, int y) { return static_cast<const uint8_t*>(s->pixels)[y * s->pitch + x] != 0; };
        int left = s->w, right = -1, top = s->h, bottom = -1;
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x)
                if (ink(x, y)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        if (right >= 0) {
            g.offset_x = (minx < 0 ? minx : 0) + left;
            g.offset_y = top;
            g.width = right - left + 1;
            g.height = bottom - top + 1;
            g.mask = glyph_masks.size();
            glyph_masks.resize(g.mask + static_cast<size_t>(g.width) * g.height);
            for (int y = 0; y < g.height; ++y)
                for (int x = 0; x < g.width; ++x)
                    glyph_masks[g.mask + static_cast<size_t>(y) * g.width + x] = ink(left + x, top + y);
        }
        SDL_UnlockSurface(s);
        SDL_FreeSurface(s);
    }
    TTF_CloseFont(font);
    text_ready = true;
    return 1;
}

void text_shutdown()
{
    if (!text_ready) return;
    glyph_masks.clear();
    glyph_masks.shrink_to_fit();
    text_ready = false;
    cached_palette = nullptr;
    if (TTF_WasInit()) TTF_Quit();
}

static uint8_t nearest_index(const SDL_Palette* palette, uint32_t colour)
{
    const int r = static_cast<int>(colour & 0xFF);
    const int g = static_cast<int>((colour >> 8) & 0xFF);
    const int b = static_cast<int>((colour >> 16) & 0xFF);
    int best = 0;
    int best_distance = 1 << 30;
    for (int i = 0; i < palette->ncolors; ++i) {
        const SDL_Color& c = palette->colors[i];
        const int dr = c.r - r, dg = c.g - g, db = c.b - b;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < best_distance) {
            best_distance = distance;
            best = i;
        }
    }
    return static_cast<uint8_t>(best);
}

float colour_luminance(uint32_t colour)
{
    // sRGB bytes to linear light, once.
    static const std::array<float, 256> linear = [] {
        std::array<float, 256> t{};
        for (size_t i = 0; i < t.size(); ++i) {
            const double v = static_cast<double>(i) / 255.0;
            t[i] = static_cast<float>(v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
        }
        return t;
    }();
    return 0.2126f * linear[colour & 0xFF] + 0.7152f * linear[(colour >> 8) & 0xFF] +
           0.0722f * linear[(colour >> 16) & 0xFF];
}

uint32_t text_colour_at_least(uint32_t colour, float luminance, const Surface* surface)
{
    if (!surface || !surface->format->palette) return colour;
    const SDL_Palette* palette = surface->format->palette;
    const int r = static_cast<int>(colour & 0xFF);
    const int g = static_cast<int>((colour >> 8) & 0xFF);
    const int b = static_cast<int>((colour >> 16) & 0xFF);
    auto colorref = [](const SDL_Color& c) {
        return static_cast<uint32_t>(c.r) | static_cast<uint32_t>(c.g) << 8 | static_cast<uint32_t>(c.b) << 16;
    };
    int best = -1;
    int best_distance = 1 << 30;
    int brightest = 0;
    float brightest_luminance = -1.0f;
    for (int i = 0; i < palette->ncolors; ++i) {
        const SDL_Color& c = palette->colors[i];
        const float l = colour_luminance(colorref(c));
        if (l > brightest_luminance) {
            brightest_luminance = l;
            brightest = i;
        }
        if (l < luminance) continue;
        const int dr = c.r - r, dg = c.g - g, db = c.b - b;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < best_distance) {
            best_distance = distance;
            best = i;
        }
    }
    return colorref(palette->colors[best >= 0 ? best : brightest]);
}

int text_draw(const char* text, int x, int y, uint32_t colour, Surface* surface)
{
    if (!text_ready || !surface || !surface->format->palette) return 0;
    SDL_Palette* palette = surface->format->palette;
    if (palette != cached_palette || palette->version != cached_version || colour != cached_colour) {
        cached_index = nearest_index(palette, colour);
        cached_palette = palette;
        cached_version = palette->version;
        cached_colour = colour;
    }
    const SDL_Rect& clip = surface->clip_rect;
    auto* pixels = static_cast<uint8_t*>(surface->pixels);
    int pen = x;
    for (const char* p = text; *p; ++p) {
        int c = static_cast<unsigned char>(*p);
        if (c < FIRST_GLYPH || c > LAST_GLYPH) c = '?';
        const Glyph& g = glyphs[c - FIRST_GLYPH];
        const int left = pen + g.offset_x;
        const int top = y + g.offset_y;
        pen += g.advance;
        // Clip the glyph's box once, then copy its ink.
        const int x0 = std::max(0, clip.x - left);
        const int x1 = std::min(g.width, clip.x + clip.w - left);
        const int y0 = std::max(0, clip.y - top);
        const int y1 = std::min(g.height, clip.y + clip.h - top);
        for (int gy = y0; gy < y1; ++gy) {
            const uint8_t* mask = glyph_masks.data() + g.mask + static_cast<size_t>(gy) * g.width;
            uint8_t* row = pixels + static_cast<size_t>(top + gy) * surface->pitch;
            for (int gx = x0; gx < x1; ++gx) {
                if (mask[gx]) row[left + gx] = cached_index;
            }
        }
    }
    return 1;
}
