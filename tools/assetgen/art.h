// The generator's drawing kit: the palette layout, a seeded random source,
// noise, float canvases quantised to the palette, sheets with their grid, and
// text masks rasterised by SDL_ttf. Everything here is deterministic.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/bmp.h"

namespace art {

// Where each ramp of the one palette lives. Ramps run dark to bright.
namespace pal {
constexpr int BLACK = 0;  // also the transparent key of every sprite
constexpr int GREY = 1;   // 32 entries: 1..31 are 8*i, 32 is pure white
constexpr int GREY_N = 32;
constexpr int WHITE = 32;
constexpr int TEXT_SHADOW = 8;  // (64, 64, 64)
constexpr int FIRE = 33;        // dark red, orange, yellow, white
constexpr int FIRE_N = 24;
constexpr int ROCK_WARM = 57;
constexpr int ROCK_WARM_N = 12;
constexpr int ROCK_COOL = 69;
constexpr int ROCK_COOL_N = 12;
constexpr int HULL = 81;
constexpr int HULL_N = 16;
constexpr int COCKPIT = 97;
constexpr int COCKPIT_N = 4;
constexpr int STRIPE = 101;
constexpr int STRIPE_N = 4;
constexpr int FLAME = 105;  // thruster: deep blue, cyan, white
constexpr int FLAME_N = 12;
constexpr int SUIT = 117;
constexpr int SUIT_N = 12;
constexpr int SUIT_ORANGE = 129;
constexpr int SUIT_ORANGE_N = 6;
constexpr int VISOR = 135;
constexpr int VISOR_N = 4;
constexpr int CORONA = 139;
constexpr int CORONA_N = 16;
constexpr int SPACE_BLUE = 155;
constexpr int SPACE_BLUE_N = 12;
constexpr int SPACE_VIOLET = 167;
constexpr int SPACE_VIOLET_N = 12;
constexpr int GLOW = 179;  // the faint warm haze round the star, out of the dark
constexpr int GLOW_N = 8;
constexpr int SPACE_TEAL = 187;
constexpr int SPACE_TEAL_N = 4;
constexpr int TEXT_GREEN = 191;   // (0, 255, 0)
constexpr int TEXT_ORANGE = 192;  // (200, 64, 0)
constexpr int TEXT_RED = 193;     // (255, 20, 20)
constexpr int CUBE = 194;         // the rest: a coarse spread over the colour cube
constexpr int CUBE_N = 59;
constexpr int STAR_TINTS = 253;  // three pale star colours: blue, yellow, red
constexpr int STAR_TINTS_N = 3;
}  // namespace pal

struct Col {
    float r = 0, g = 0, b = 0;
};
inline Col operator+(Col a, Col b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Col operator-(Col a, Col b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
inline Col operator*(Col a, float k) { return {a.r * k, a.g * k, a.b * k}; }
inline Col operator*(Col a, Col b) { return {a.r * b.r / 255.0f, a.g * b.g / 255.0f, a.b * b.b / 255.0f}; }
inline Col mix(Col a, Col b, float t) { return a + (b - a) * t; }
inline Col rgb(Colour c) { return {float(c.r), float(c.g), float(c.b)}; }

inline float clampf(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }
inline float smoothstep(float e0, float e1, float x)
{
    float t = clampf((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}
constexpr float PI = 3.14159265358979f;

// A colour of a ramp by position t in [0, 1] along piecewise-linear stops.
Col ramp(const std::vector<Colour>& stops, float t);

// --- random numbers and noise ------------------------------------------
struct Rng {
    uint64_t state;
};
uint32_t rng_next(Rng& rng);
float rng_unit(Rng& rng);  // [0, 1)
float rng_range(Rng& rng, float lo, float hi);

uint32_t hash_u32(uint32_t x);
float value_noise2(float x, float y, uint32_t seed);             // [0, 1]
float value_noise3(float x, float y, float z, uint32_t seed);    // [0, 1]
float fbm2(float x, float y, int octaves, uint32_t seed);        // about [0, 1]
float fbm3(float x, float y, float z, int octaves, uint32_t seed);

// --- images -------------------------------------------------------------
struct Image {  // 8-bit palette indices, rows top first
    int w = 0, h = 0;
    std::vector<uint8_t> px;
};
Image image_make(int w, int h, uint8_t fill = 0);
inline uint8_t& at(Image& im, int x, int y) { return im.px[size_t(y) * size_t(im.w) + size_t(x)]; }
inline uint8_t at(const Image& im, int x, int y) { return im.px[size_t(y) * size_t(im.w) + size_t(x)]; }

struct Canvas {  // colour with coverage, for drawing before quantising
    int w = 0, h = 0;
    std::vector<Col> c;
    std::vector<float> a;
};
Canvas canvas_make(int w, int h);
inline Col& cat(Canvas& cv, int x, int y) { return cv.c[size_t(y) * size_t(cv.w) + size_t(x)]; }
inline float& aat(Canvas& cv, int x, int y) { return cv.a[size_t(y) * size_t(cv.w) + size_t(x)]; }
void canvas_add(Canvas& cv, int x, int y, Col c);                 // additive light
void canvas_blend(Canvas& cv, int x, int y, Col c, float alpha);  // paint over
// Additive round glow centred at (cx, cy), falling off like exp(-(d/radius)^2).
void canvas_glow(Canvas& cv, float cx, float cy, float radius, Col c);

// Nearest palette colour, searched among the allowed indices only.
struct Quantizer {
    std::vector<uint8_t> allowed;
    std::unordered_map<uint32_t, uint8_t> cache;
};
Quantizer quantizer_make(const std::vector<std::pair<int, int>>& ranges);  // (first, count)
uint8_t quantize(Quantizer& q, Col c);
// Ordered dither offset for pixel (x, y), in [-0.5, 0.5).
float bayer8(int x, int y);
// Quantise a whole canvas: coverage below the threshold becomes index 0.
Image canvas_quantize(const Canvas& cv, Quantizer& q, float dither, float threshold);

// --- sheets -------------------------------------------------------------
constexpr uint8_t GRID_INDEX = 18;  // a mid grey, visible but never drawn in play
Image sheet_make(int cols, int rows, int cell_w, int cell_h);
void sheet_put(Image& sheet, int col, int row, const Image& cell);

// --- text ---------------------------------------------------------------
struct Mask {  // 1 where a glyph pixel is set
    int w = 0, h = 0;
    std::vector<uint8_t> m;
};
inline uint8_t mget(const Mask& m, int x, int y)
{
    return (x < 0 || y < 0 || x >= m.w || y >= m.h) ? 0 : m.m[size_t(y) * size_t(m.w) + size_t(x)];
}
constexpr const char* FONT_SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* FONT_SANS_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
// Rasterise one line without anti-aliasing, so the bits are the same every
// run; false when the font can't be opened or the text can't be rendered.
bool text_mask(const char* font_file, int point_size, const std::string& utf8, Mask& out);

// --- the pictures ---------------------------------------------------------
bool make_star_sheet(Image& out);
bool make_asteroid_sheet(Image& out);
bool make_ship_sheet(Image& out);
bool make_projectile_sheet(Image& out);
bool make_explosion_sheet(Image& out);
bool make_astronaut_sheet(Image& out);
bool make_backdrop(Image& out);
bool make_splash(Image& out);
bool make_introtext(Image& out);

// Shared by the sprites and the splash, which shows them larger.
// The ship in a canvas of any scale: heading angle in radians (clockwise on
// screen from +x), centre (cx, cy), `scale` canvas pixels per sprite pixel.
void render_ship(Canvas& cv, float angle, float cx, float cy, float scale, bool flame, float flame_limit);
// A rock (its shape chosen by seed) at rotation `turn` (0..1 a full turn),
// radius in canvas pixels.
void render_asteroid(Canvas& cv, uint32_t seed, float turn, float cx, float cy, float radius);
// The star's disc and corona at animation phase (0..1); `soft` fades the
// corona out smoothly instead of cutting it where a sprite turns transparent.
void render_star(Canvas& cv, float phase, float cx, float cy, float scale, bool soft);

}  // namespace art
