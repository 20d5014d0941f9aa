// The three full screens: the backdrop of every frame, the splash shown at
// start-up, and the intro text that scrolls up over the backdrop.
#include <algorithm>
#include <array>

#include "art.h"
#include "portable_math.h"

namespace art {

namespace {

constexpr int W = 640, H = 480;

// Deep space behind everything: a dark gradient, a faint band of nebula and
// stars at several depths. `vivid` raises the nebula for the splash.
void paint_space(Canvas& cv, uint32_t seed, float vivid, float clear_cx, float clear_cy, float clear_r)
{
    Rng rng{seed};
    // The band runs from lower left to upper right.
    const float bx = 320.0f, by = 250.0f, nx = 0.42f, ny = 0.91f;  // the band's normal
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            float fx = float(x), fy = float(y);
            float across = ((fx - bx) * nx + (fy - by) * ny);
            float warp = (fbm2(fx / 90.0f, fy / 90.0f, 3, seed + 1u) - 0.5f) * 160.0f;
            float band = portable::exp(-((across + warp) / 150.0f) * ((across + warp) / 150.0f));
            float cloud = fbm2(fx / 150.0f, fy / 150.0f, 5, seed + 2u);
            float wisps = fbm2(fx / 40.0f + 3.0f, fy / 40.0f, 4, seed + 3u);
            float density = band * smoothstep(0.38f, 0.78f, cloud) * (0.55f + 0.6f * wisps);
            // Keep the nebula off the glow round the star.
            float dc = std::sqrt((fx - clear_cx) * (fx - clear_cx) + (fy - clear_cy) * (fy - clear_cy));
            if (clear_r > 0) density *= smoothstep(clear_r * 0.4f, clear_r, dc);
            float hue = fbm2(fx / 220.0f + 9.0f, fy / 220.0f, 3, seed + 4u);
            Col violet{44, 16, 70}, blue{12, 30, 78}, teal{8, 46, 54};
            Col neb = mix(mix(violet, blue, smoothstep(0.35f, 0.65f, hue)), teal, smoothstep(0.62f, 0.8f, hue) * 0.6f);
            Col base{0.8f, 1.2f, 4.0f};
            base = base + Col{2, 2, 6} * band;
            // Darker along the top where the status texts sit.
            float top = smoothstep(0.0f, 70.0f, fy) * 0.6f + 0.4f;
            cat(cv, x, y) = base + neb * (density * vivid * top);
            aat(cv, x, y) = 1.0f;
        }
    // Stars: many faint, fewer bright, a handful with spikes; more of them
    // where the band is.
    auto star_tint = [&](Rng& r) {
        float t = rng_unit(r);
        if (t < 0.5f) return Col{220, 230, 255};
        if (t < 0.75f) return Col{255, 244, 220};
        if (t < 0.9f) return Col{190, 210, 255};
        return Col{255, 210, 190};
    };
    for (int i = 0; i < 2600; ++i) {
        int x = int(rng_unit(rng) * W), y = int(rng_unit(rng) * H);
        float keep = rng_unit(rng);
        float across = ((float(x) - bx) * nx + (float(y) - by) * ny);
        float band = portable::exp(-(across / 170.0f) * (across / 170.0f));
        if (keep > 0.35f + 0.65f * band) continue;
        // The tint is drawn before the brightness in a statement of its own:
        // compilers order the operands of one expression as they like.
        Col tint = star_tint(rng);
        Col c = tint * rng_range(rng, 0.08f, 0.3f);
        canvas_add(cv, x, y, c);
    }
    for (int i = 0; i < 260; ++i) {
        float x = rng_unit(rng) * W, y = rng_unit(rng) * H;
        Col tint = star_tint(rng);
        Col c = tint * rng_range(rng, 0.35f, 0.8f);
        canvas_add(cv, int(x), int(y), c);
        canvas_glow(cv, float(int(x)) + 0.5f, float(int(y)) + 0.5f, 0.9f, c * 0.18f);
    }
    for (int i = 0; i < 22; ++i) {
        float x = float(int(rng_unit(rng) * W)) + 0.5f, y = float(int(rng_unit(rng) * (H - 40)) + 40) + 0.5f;
        Col c = star_tint(rng);
        float size = rng_range(rng, 0.8f, 1.6f) * (vivid > 1.2f ? 1.3f : 1.0f);
        canvas_glow(cv, x, y, size, c * 0.9f);
        canvas_glow(cv, x, y, size * 3.0f, c * 0.08f);
        int spike = int(size * 3.0f);
        for (int k = 2; k <= spike; ++k) {
            float f = 0.45f * (1.0f - float(k) / float(spike + 1));
            canvas_add(cv, int(x) + k, int(y), c * f);
            canvas_add(cv, int(x) - k, int(y), c * f);
            canvas_add(cv, int(x), int(y) + k, c * f);
            canvas_add(cv, int(x), int(y) - k, c * f);
        }
    }
}

Quantizer screen_quantizer()
{
    std::vector<std::pair<int, int>> all;
    for (int i = 1; i < 256; ++i) all.push_back({i, 1});
    return quantizer_make(all);
}

// Anti-aliased coverage of a line of text: rasterised four times as large
// and averaged down, which stays exact from run to run.
struct Coverage {
    int w = 0, h = 0;
    std::vector<float> v;
};
float cov(const Coverage& c, int x, int y)
{
    return (x < 0 || y < 0 || x >= c.w || y >= c.h) ? 0.0f : c.v[size_t(y) * size_t(c.w) + size_t(x)];
}

bool text_coverage(const char* font, int size, const std::string& text, float tracking, float slant, Coverage& out)
{
    constexpr int S = 4;
    std::vector<Mask> letters;
    int width = 0, height = 0;
    // Letter by letter so the letters can be spaced out.
    for (char ch : text) {
        Mask m;
        if (!text_mask(font, size * S, std::string(1, ch), m)) return false;
        width += m.w + int(tracking * S);
        height = std::max(height, m.h);
        letters.push_back(std::move(m));
    }
    int extra = int(std::fabs(slant) * float(height)) + S;
    Mask big;
    big.w = width + extra;
    big.h = height;
    big.m.assign(size_t(big.w) * size_t(big.h), 0);
    int pen = 0;
    for (const Mask& m : letters) {
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < m.w; ++x)
                if (mget(m, x, y)) {
                    int sx = pen + x + int(slant * float(height - y));
                    if (sx >= 0 && sx < big.w) big.m[size_t(y) * size_t(big.w) + size_t(sx)] = 1;
                }
        pen += m.w + int(tracking * S);
    }
    out.w = big.w / S;
    out.h = big.h / S;
    out.v.assign(size_t(out.w) * size_t(out.h), 0.0f);
    for (int y = 0; y < out.h; ++y)
        for (int x = 0; x < out.w; ++x) {
            int n = 0;
            for (int j = 0; j < S; ++j)
                for (int i = 0; i < S; ++i) n += mget(big, x * S + i, y * S + j);
            out.v[size_t(y) * size_t(out.w) + size_t(x)] = float(n) / float(S * S);
        }
    return true;
}

// Rows and columns that the coverage actually uses.
void coverage_bounds(const Coverage& c, int& top, int& bottom)
{
    top = c.h;
    bottom = -1;
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x)
            if (cov(c, x, y) > 0) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
}

Coverage blur(const Coverage& c, int radius)
{
    Coverage tmp = c, out = c;
    for (int pass = 0; pass < 2; ++pass) {
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                float s = 0;
                for (int k = -radius; k <= radius; ++k) s += cov(pass == 0 ? c : out, x + k, y);
                tmp.v[size_t(y) * size_t(c.w) + size_t(x)] = s / float(2 * radius + 1);
            }
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                float s = 0;
                for (int k = -radius; k <= radius; ++k) s += cov(tmp, x, y + k);
                out.v[size_t(y) * size_t(c.w) + size_t(x)] = s / float(2 * radius + 1);
            }
    }
    return out;
}

// The title: a hot metallic fill, a dark rim and a glow around it.
bool paint_logo(Canvas& cv, int cx, int top)
{
    Coverage c;
    if (!text_coverage(FONT_SANS_BOLD, 80, "KESTRAVA", 6.0f, 0.16f, c)) return false;
    int t0 = 0, t1 = 0;
    coverage_bounds(c, t0, t1);
    const int pad = 24;
    Coverage padded;
    padded.w = c.w + 2 * pad;
    padded.h = c.h + 2 * pad;
    padded.v.assign(size_t(padded.w) * size_t(padded.h), 0.0f);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) padded.v[size_t(y + pad) * size_t(padded.w) + size_t(x + pad)] = cov(c, x, y);
    Coverage glow = blur(padded, 9), rim = blur(padded, 2), soft = blur(padded, 1);
    const int ox = cx - padded.w / 2, oy = top - pad - t0;
    const std::vector<Colour> metal{{255, 255, 240}, {255, 236, 150}, {255, 196, 60}, {255, 150, 20},
                                 {236, 96, 8},    {200, 52, 4},    {150, 24, 6}};
    for (int y = 0; y < padded.h; ++y)
        for (int x = 0; x < padded.w; ++x) {
            int px = ox + x, py = oy + y;
            if (px < 0 || py < 0 || px >= cv.w || py >= cv.h) continue;
            Col& dst = cat(cv, px, py);
            dst = dst + Col{255, 110, 20} * (0.55f * cov(glow, x, y));
            float r = std::min(1.0f, cov(rim, x, y) * 3.0f);
            dst = mix(dst, Col{26, 6, 20}, r);
            float f = cov(padded, x, y);
            if (f <= 0) continue;
            float t = clampf(float(y - pad - t0) / float(std::max(1, t1 - t0)), 0.0f, 1.0f);
            // A bright horizon across the middle, as on polished metal.
            float band = t < 0.5f ? t * 0.9f : 0.45f + (t - 0.5f) * 1.1f;
            Col fill = ramp(metal, band);
            if (t > 0.48f && t < 0.53f) fill = mix(fill, Col{255, 250, 220}, 0.5f);
            // Bevel: brighter where the letter's edge faces the upper left.
            float gx = cov(soft, x + 1, y) - cov(soft, x - 1, y), gy = cov(soft, x, y + 1) - cov(soft, x, y - 1);
            float bevel = clampf(gx * 0.9f + gy * 0.9f, -1.0f, 1.0f);
            fill = bevel > 0 ? mix(fill, Col{255, 255, 255}, bevel * 0.6f) : mix(fill, Col{90, 20, 10}, -bevel * 0.6f);
            dst = mix(dst, fill, f);
        }
    return true;
}

bool paint_line(Canvas& cv, const char* font, int size, const std::string& text, float tracking, int cx, int top,
                Col colour, Col shadow)
{
    Coverage c;
    if (!text_coverage(font, size, text, tracking, 0.0f, c)) return false;
    int t0 = 0, t1 = 0;
    coverage_bounds(c, t0, t1);
    const int ox = cx - c.w / 2, oy = top - t0;
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            int px = ox + x, py = oy + y;
            if (px < 0 || py < 0 || px + 2 >= cv.w || py + 2 >= cv.h) continue;
            float f = cov(c, x, y);
            if (f <= 0) continue;
            Col& s = cat(cv, px + 2, py + 2);
            s = mix(s, shadow, f);
        }
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            int px = ox + x, py = oy + y;
            if (px < 0 || py < 0 || px >= cv.w || py >= cv.h) continue;
            float f = cov(c, x, y);
            if (f > 0) cat(cv, px, py) = mix(cat(cv, px, py), colour, f);
        }
    return true;
}

// A soft dot for drawing lines of light.
void splat(Canvas& cv, float x, float y, Col c)
{
    int ix = int(std::floor(x - 0.5f)), iy = int(std::floor(y - 0.5f));
    float fx = x - 0.5f - float(ix), fy = y - 0.5f - float(iy);
    canvas_add(cv, ix, iy, c * ((1 - fx) * (1 - fy)));
    canvas_add(cv, ix + 1, iy, c * (fx * (1 - fy)));
    canvas_add(cv, ix, iy + 1, c * ((1 - fx) * fy));
    canvas_add(cv, ix + 1, iy + 1, c * (fx * fy));
}

}  // namespace

bool make_backdrop(Image& out)
{
    Canvas cv = canvas_make(W, H);
    paint_space(cv, 0xBAC0D120u, 1.0f, 320.0f, 240.0f, 130.0f);
    // The star sits at the centre: a warm glow around it that the sprite's
    // corona fades into.
    canvas_glow(cv, 320.0f, 240.0f, 28.0f, Col{56, 18, 6});
    canvas_glow(cv, 320.0f, 240.0f, 70.0f, Col{20, 6, 6});
    canvas_glow(cv, 320.0f, 240.0f, 150.0f, Col{6, 2, 6});
    // Only the colours of space, so that mixed hazes stay clean.
    Quantizer q = quantizer_make({{pal::BLACK, 1},
                                  {pal::GREY, pal::GREY_N},
                                  {pal::SPACE_BLUE, pal::SPACE_BLUE_N},
                                  {pal::SPACE_VIOLET, pal::SPACE_VIOLET_N},
                                  {pal::GLOW, pal::GLOW_N},
                                  {pal::SPACE_TEAL, pal::SPACE_TEAL_N},
                                  {pal::CORONA, pal::CORONA_N},
                                  {pal::STAR_TINTS, pal::STAR_TINTS_N}});
    out = canvas_quantize(cv, q, 7.0f, 0.0f);
    return true;
}

bool make_splash(Image& out)
{
    Canvas cv = canvas_make(W, H);
    paint_space(cv, 0x5B1A5417u, 1.9f, 0.0f, 0.0f, 0.0f);
    // The star's gravity well: a sheet of space pulled down into a funnel,
    // drawn as rings and spokes of faint light.
    const float wx = 320.0f, wy = 318.0f, squash = 0.28f;
    auto depth = [](float r) { return 2400.0f / (r + 26.0f) - 6.0f; };
    auto point = [&](float r, float a, float& x, float& y) {
        x = wx + r * portable::cos(a);
        y = wy + depth(r) + squash * r * portable::sin(a);
    };
    auto fade = [](float r) { return smoothstep(420.0f, 160.0f, r) * smoothstep(14.0f, 60.0f, r); };
    const Col grid{40, 110, 220};
    for (int k = 0; k < 13; ++k) {
        float r = 20.0f * portable::pow(1.27f, float(k));
        int steps = int(2.0f * PI * r / 0.4f);
        for (int i = 0; i < steps; ++i) {
            float a = 2.0f * PI * float(i) / float(steps), x = 0, y = 0;
            point(r, a, x, y);
            float back = portable::sin(a) < 0 ? 0.55f : 1.0f;  // the far side is dimmer
            // Points bunch up where the ring is squashed: weigh by the spacing.
            float gap = std::sqrt(portable::sin(a) * portable::sin(a) + squash * squash * portable::cos(a) * portable::cos(a));
            splat(cv, x, y, grid * (0.22f * fade(r) * back * gap));
        }
    }
    for (int s = 0; s < 28; ++s) {
        float a = 2.0f * PI * float(s) / 28.0f;
        for (float r = 14.0f; r < 460.0f; r += 0.5f) {
            float x = 0, y = 0;
            point(r, a, x, y);
            float back = portable::sin(a) < 0 ? 0.55f : 1.0f;
            splat(cv, x, y, grid * (0.16f * fade(r) * back));
        }
    }
    // The star at the bottom of the well.
    float sx = 0, sy = 0;
    point(10.0f, PI / 2, sx, sy);
    sy -= 6.0f;
    canvas_glow(cv, sx, sy, 110.0f, Col{46, 10, 4});
    canvas_glow(cv, sx, sy, 46.0f, Col{120, 50, 10});
    render_star(cv, 0.0f, sx, sy, 3.4f, true);
    canvas_glow(cv, sx, sy, 16.0f, Col{120, 80, 30});
    // A rock falling in from the right and the ship swinging round the star,
    // its path traced in dots.
    Canvas bodies = canvas_make(W, H);
    render_asteroid(bodies, 0x0DD5EEDu, 0.12f, 540.0f, 232.0f, 30.0f);
    render_asteroid(bodies, 0x5EED00Fu, 0.6f, 588.0f, 372.0f, 15.0f);
    render_asteroid(bodies, 0xA57E401Du, 0.3f, 470.0f, 420.0f, 9.0f);
    const float ship_x = 150.0f, ship_y = 352.0f, ship_a = -0.62f;
    // The path it came by, bending towards the star as an orbit does; traced
    // back from the flame's tip, fading with distance.
    {
        float x = ship_x - 4.0f * 13.0f * portable::cos(ship_a), y = ship_y - 4.0f * 13.0f * portable::sin(ship_a);
        float a = ship_a;
        for (int i = 0; i < 170; ++i) {
            a -= 0.0045f;
            x -= portable::cos(a);
            y -= portable::sin(a);
            if (i % 7 == 3) canvas_glow(cv, x, y, 1.2f, Col{90, 200, 255} * (0.9f * (1.0f - float(i) / 170.0f)));
        }
    }
    render_ship(bodies, ship_a, ship_x, ship_y, 4.0f, true, 7.0f);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (aat(bodies, x, y) > 0)
                cat(cv, x, y) = mix(cat(cv, x, y), cat(bodies, x, y), std::min(1.0f, aat(bodies, x, y)));
    canvas_glow(cv, ship_x - 4.0f * 9.0f * portable::cos(ship_a), ship_y - 4.0f * 9.0f * portable::sin(ship_a), 14.0f,
                Col{30, 90, 160});
    if (!paint_logo(cv, W / 2, 46)) return false;
    if (!paint_line(cv, FONT_SANS, 15, "A RESCUE IN THE PULL OF A STAR", 3.0f, W / 2, 160, Col{170, 196, 240},
                    Col{6, 6, 20}))
        return false;
    Quantizer q = screen_quantizer();
    out = canvas_quantize(cv, q, 8.0f, 0.0f);
    return true;
}

// --- intro text ---------------------------------------------------------------

namespace {

// Texts are laid down as fill colours first; the outline and shadow that make
// them read over the backdrop are added once everything is placed.
struct Page {
    Image fill = image_make(W, H);
};

bool put_text(Page& page, const char* font, int size, const std::string& text, int x, int top, int align,
              const std::vector<uint8_t>& colours)
{
    Mask m;
    if (!text_mask(font, size, text, m)) return false;
    int t0 = m.h, t1 = -1;
    for (int y = 0; y < m.h; ++y)
        for (int xx = 0; xx < m.w; ++xx)
            if (mget(m, xx, y)) {
                t0 = std::min(t0, y);
                t1 = std::max(t1, y);
            }
    int ox = align < 0 ? x : (align == 0 ? x - m.w / 2 : x - m.w);
    int oy = top - (size * 1 / 5);  // glyph cells start a little above the cap height
    for (int y = 0; y < m.h; ++y)
        for (int xx = 0; xx < m.w; ++xx) {
            if (!mget(m, xx, y)) continue;
            int px = ox + xx, py = oy + y;
            if (px < 0 || py < 0 || px >= W || py >= H) continue;
            // A colour list runs top to bottom across the glyphs' height.
            size_t k = colours.size() == 1 || t1 <= t0
                           ? 0
                           : std::min(colours.size() - 1, size_t(float(y - t0) / float(t1 - t0 + 1) * float(colours.size())));
            at(page.fill, px, py) = colours[k];
        }
    return true;
}

}  // namespace

bool make_introtext(Image& out)
{
    Page page;
    const uint8_t white = uint8_t(pal::GREY + 27), soft = uint8_t(pal::GREY + 23);
    const uint8_t key = uint8_t(pal::COCKPIT + 3), gold = uint8_t(pal::FIRE + 18);
    const std::vector<uint8_t> title{uint8_t(pal::FIRE + 23), uint8_t(pal::FIRE + 21), uint8_t(pal::FIRE + 19),
                                     uint8_t(pal::FIRE + 17), uint8_t(pal::FIRE + 15), uint8_t(pal::FIRE + 13)};
    const std::vector<uint8_t> heading{uint8_t(pal::FIRE + 20), uint8_t(pal::FIRE + 18), uint8_t(pal::FIRE + 16)};
    bool ok = put_text(page, FONT_SANS_BOLD, 40, "KESTRAVA", W / 2, 4, 0, title);
    const char* story[] = {
        "Far out past the last beacon, an astronaut has drifted loose",
        "near a burning star. The air in the suit will not last long,",
        "and a storm of asteroids is falling in from the dark.",
        "Clear the rocks, fly in close and bring the astronaut aboard -",
        "but keep clear of the star: its pull never lets go.",
    };
    for (int i = 0; i < 5; ++i) ok = ok && put_text(page, FONT_SANS, 17, story[i], W / 2, 58 + i * 21, 0, {soft});

    ok = ok && put_text(page, FONT_SANS_BOLD, 21, "CONTROLS", W / 2, 190, 0, heading);
    struct KeyLine {
        const char* key;
        const char* what;
        int x, y;
    };
    const KeyLine keys[] = {
        {"UP", "thrust", 236, 222},   {"LEFT / RIGHT", "turn", 476, 222},
        {"DOWN", "brake", 236, 244},  {"SPACE", "fire", 476, 244},
        {"RETURN or SPACE", "start", 236, 266}, {"ESC", "quit", 476, 266},
    };
    for (const KeyLine& k : keys) {
        ok = ok && put_text(page, FONT_SANS_BOLD, 17, k.key, k.x - 8, k.y, 1, {key});
        ok = ok && put_text(page, FONT_SANS, 17, k.what, k.x + 8, k.y, -1, {white});
    }

    ok = ok && put_text(page, FONT_SANS_BOLD, 21, "SCORING", W / 2, 302, 0, heading);
    struct ScoreLine {
        const char* what;
        const char* points;
    };
    const ScoreLine scores[] = {
        {"asteroid destroyed", "10"},
        {"astronaut rescued", "10 \xC3\x97 the level's asteroids"},
        {"astronaut shot", "\xE2\x88\x92" "5 \xC3\x97 the level's asteroids"},
    };
    for (int i = 0; i < 3; ++i) {
        ok = ok && put_text(page, FONT_SANS, 17, scores[i].what, 300, 334 + i * 22, 1, {white});
        ok = ok && put_text(page, FONT_SANS_BOLD, 17, scores[i].points, 320, 334 + i * 22, -1, {gold});
    }
    if (!ok) return false;

    // Outline every glyph in a dark rim, with a deeper shadow below right.
    const uint8_t rim = uint8_t(pal::SPACE_VIOLET + 1), shadow = uint8_t(pal::SPACE_BLUE);
    out = image_make(W, H);
    auto lit = [&](int x, int y) { return x >= 0 && y >= 0 && x < W && y < H && at(page.fill, x, y) != 0; };
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (lit(x, y)) {
                at(out, x, y) = at(page.fill, x, y);
                continue;
            }
            bool near = false, below = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) near = near || lit(x + dx, y + dy);
            for (int dy = 1; dy <= 3; ++dy)
                for (int dx = 1; dx <= 3; ++dx) below = below || lit(x - dx, y - dy);
            if (near) at(out, x, y) = rim;
            else if (below) at(out, x, y) = shadow;
        }
    return true;
}

}  // namespace art
