// The drawing kit behind every picture: see art.h.
#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>

#include "art.h"
#include "assetgen.h"
#include "portable_math.h"

namespace art {

Col ramp(const std::vector<Colour>& stops, float t)
{
    t = clampf(t, 0.0f, 1.0f);
    if (stops.size() == 1) return rgb(stops[0]);
    float pos = t * float(stops.size() - 1);
    size_t i = std::min(size_t(pos), stops.size() - 2);
    return mix(rgb(stops[i]), rgb(stops[i + 1]), pos - float(i));
}

// splitmix64: small, fast and the same everywhere.
uint32_t rng_next(Rng& rng)
{
    uint64_t z = (rng.state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return uint32_t((z ^ (z >> 31)) >> 32);
}
float rng_unit(Rng& rng) { return float(rng_next(rng) >> 8) * (1.0f / 16777216.0f); }
float rng_range(Rng& rng, float lo, float hi) { return lo + (hi - lo) * rng_unit(rng); }

uint32_t hash_u32(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

static float lattice2(int x, int y, uint32_t seed)
{
    uint32_t h = hash_u32(uint32_t(x) * 0x8DA6B343u ^ hash_u32(uint32_t(y) * 0xD8163841u ^ seed));
    return float(h >> 8) * (1.0f / 16777216.0f);
}
static float lattice3(int x, int y, int z, uint32_t seed)
{
    return lattice2(x, y, hash_u32(uint32_t(z) * 0xCB1AB31Fu ^ seed));
}
static float fade(float t) { return t * t * (3.0f - 2.0f * t); }

float value_noise2(float x, float y, uint32_t seed)
{
    float fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    float tx = fade(x - fx), ty = fade(y - fy);
    float a = lattice2(ix, iy, seed), b = lattice2(ix + 1, iy, seed);
    float c = lattice2(ix, iy + 1, seed), d = lattice2(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float value_noise3(float x, float y, float z, uint32_t seed)
{
    float fz = std::floor(z);
    int iz = int(fz);
    float tz = fade(z - fz);
    float fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    float tx = fade(x - fx), ty = fade(y - fy);
    float layer[2];
    for (int k = 0; k < 2; ++k) {
        float a = lattice3(ix, iy, iz + k, seed), b = lattice3(ix + 1, iy, iz + k, seed);
        float c = lattice3(ix, iy + 1, iz + k, seed), d = lattice3(ix + 1, iy + 1, iz + k, seed);
        float ab = a + (b - a) * tx, cd = c + (d - c) * tx;
        layer[k] = ab + (cd - ab) * ty;
    }
    return layer[0] + (layer[1] - layer[0]) * tz;
}

float fbm2(float x, float y, int octaves, uint32_t seed)
{
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * value_noise2(x, y, seed + uint32_t(o) * 7919u);
        norm += amp;
        amp *= 0.5f;
        x = x * 2.03f + 17.1f;
        y = y * 2.03f - 9.7f;
    }
    return sum / norm;
}

float fbm3(float x, float y, float z, int octaves, uint32_t seed)
{
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * value_noise3(x, y, z, seed + uint32_t(o) * 7919u);
        norm += amp;
        amp *= 0.5f;
        x = x * 2.03f + 17.1f;
        y = y * 2.03f - 9.7f;
        z = z * 2.03f + 3.3f;
    }
    return sum / norm;
}

Image image_make(int w, int h, uint8_t fill)
{
    Image im;
    im.w = w;
    im.h = h;
    im.px.assign(size_t(w) * size_t(h), fill);
    return im;
}

Canvas canvas_make(int w, int h)
{
    Canvas cv;
    cv.w = w;
    cv.h = h;
    cv.c.assign(size_t(w) * size_t(h), Col{});
    cv.a.assign(size_t(w) * size_t(h), 0.0f);
    return cv;
}

void canvas_add(Canvas& cv, int x, int y, Col c)
{
    if (x < 0 || y < 0 || x >= cv.w || y >= cv.h) return;
    cat(cv, x, y) = cat(cv, x, y) + c;
    float& a = aat(cv, x, y);
    a = std::max(a, clampf(std::max({c.r, c.g, c.b}) / 64.0f, 0.0f, 1.0f));
}

void canvas_blend(Canvas& cv, int x, int y, Col c, float alpha)
{
    if (x < 0 || y < 0 || x >= cv.w || y >= cv.h || alpha <= 0) return;
    alpha = std::min(alpha, 1.0f);
    cat(cv, x, y) = mix(cat(cv, x, y), c, alpha);
    float& a = aat(cv, x, y);
    a = a + (1.0f - a) * alpha;
}

void canvas_glow(Canvas& cv, float cx, float cy, float radius, Col c)
{
    int reach = int(radius * 3.0f) + 1;
    for (int y = int(cy) - reach; y <= int(cy) + reach; ++y)
        for (int x = int(cx) - reach; x <= int(cx) + reach; ++x) {
            if (x < 0 || y < 0 || x >= cv.w || y >= cv.h) continue;
            float dx = (float(x) + 0.5f - cx) / radius, dy = (float(y) + 0.5f - cy) / radius;
            float k = portable::exp(-(dx * dx + dy * dy));
            if (k < 0.002f) continue;
            cat(cv, x, y) = cat(cv, x, y) + c * k;
        }
}

Quantizer quantizer_make(const std::vector<std::pair<int, int>>& ranges)
{
    Quantizer q;
    for (auto [first, count] : ranges)
        for (int i = first; i < first + count; ++i)
            if (std::find(q.allowed.begin(), q.allowed.end(), uint8_t(i)) == q.allowed.end())
                q.allowed.push_back(uint8_t(i));
    return q;
}

uint8_t quantize(Quantizer& q, Col c)
{
    int r = int(clampf(c.r, 0, 255) + 0.5f), g = int(clampf(c.g, 0, 255) + 0.5f), b = int(clampf(c.b, 0, 255) + 0.5f);
    uint32_t key = uint32_t(r << 16 | g << 8 | b);
    auto hit = q.cache.find(key);
    if (hit != q.cache.end()) return hit->second;
    const auto& p = game_palette();
    uint8_t best = q.allowed.empty() ? 0 : q.allowed[0];
    int best_d = 1 << 30;
    for (uint8_t i : q.allowed) {
        int dr = r - p[i].r, dg = g - p[i].g, db = b - p[i].b;
        // Weighted towards green, as the eye is; ties go to the first allowed.
        int d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (d < best_d) {
            best_d = d;
            best = i;
        }
    }
    q.cache.emplace(key, best);
    return best;
}

float bayer8(int x, int y)
{
    static constexpr uint8_t m[8][8] = {
        {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
        {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
        {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
    return (float(m[y & 7][x & 7]) + 0.5f) / 64.0f - 0.5f;
}

Image canvas_quantize(const Canvas& cv, Quantizer& q, float dither, float threshold)
{
    Image im = image_make(cv.w, cv.h);
    for (int y = 0; y < cv.h; ++y)
        for (int x = 0; x < cv.w; ++x) {
            size_t i = size_t(y) * size_t(cv.w) + size_t(x);
            if (cv.a[i] < threshold) continue;
            // Dither less in the near-black, where it would show as a weave.
            const Col& c = cv.c[i];
            float d = dither * bayer8(x, y) * clampf(std::max({c.r, c.g, c.b}) / 16.0f, 0.2f, 1.0f);
            im.px[i] = quantize(q, c + Col{d, d, d});
        }
    return im;
}

Image sheet_make(int cols, int rows, int cell_w, int cell_h)
{
    Image sheet = image_make(cols * (cell_w + 1) + 1, rows * (cell_h + 1) + 1, GRID_INDEX);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < cols; ++i)
            for (int y = 0; y < cell_h; ++y)
                for (int x = 0; x < cell_w; ++x) at(sheet, i * (cell_w + 1) + 1 + x, j * (cell_h + 1) + 1 + y) = 0;
    return sheet;
}

void sheet_put(Image& sheet, int col, int row, const Image& cell)
{
    int x0 = col * (cell.w + 1) + 1, y0 = row * (cell.h + 1) + 1;
    for (int y = 0; y < cell.h; ++y)
        for (int x = 0; x < cell.w; ++x) at(sheet, x0 + x, y0 + y) = at(cell, x, y);
}

bool text_mask(const char* font_file, int point_size, const std::string& utf8, Mask& out)
{
    TTF_Font* font = TTF_OpenFont(font_file, point_size);
    if (!font) return false;
    TTF_SetFontHinting(font, TTF_HINTING_NORMAL);
    SDL_Surface* s = TTF_RenderUTF8_Solid(font, utf8.c_str(), SDL_Color{255, 255, 255, 255});
    TTF_CloseFont(font);
    if (!s) return false;
    bool ok = s->format->BytesPerPixel == 1 && SDL_LockSurface(s) == 0;
    if (ok) {
        out.w = s->w;
        out.h = s->h;
        out.m.assign(size_t(s->w) * size_t(s->h), 0);
        const auto* bytes = static_cast<const uint8_t*>(s->pixels);
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x) out.m[size_t(y) * size_t(s->w) + size_t(x)] = bytes[y * s->pitch + x] ? 1 : 0;
        SDL_UnlockSurface(s);
    }
    SDL_FreeSurface(s);
    return ok;
}

}  // namespace art
