// The six sprite sheets: star, rock, ship, bolt, explosion and astronaut.
// Small sprites are drawn from shapes sampled many times per pixel, then
// each pixel is either transparent (index 0) or its average colour.
#include <algorithm>
#include <array>

#include "art.h"
#include "game/sprite_sizes.h"
#include "portable_math.h"

namespace art {

namespace {

struct Vec3 {
    float x, y, z;
};
Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float length(Vec3 a) { return std::sqrt(dot(a, a)); }
Vec3 normalize(Vec3 a)
{
    float l = length(a);
    return l > 0 ? a * (1.0f / l) : Vec3{0, 0, 1};
}
Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
// Rodrigues: v turned by `angle` about the unit axis k.
Vec3 rotate(Vec3 v, Vec3 k, float angle)
{
    float c = portable::cos(angle), s = portable::sin(angle);
    return v * c + cross(k, v) * s + k * (dot(k, v) * (1.0f - c));
}

// Light comes from the upper left and a little in front, for every sprite.
const Vec3 LIGHT = normalize({-0.62f, -0.58f, 0.52f});

Vec3 random_direction(Rng& rng)
{
    for (;;) {
        Vec3 v{rng_range(rng, -1, 1), rng_range(rng, -1, 1), rng_range(rng, -1, 1)};
        float l = length(v);
        if (l > 0.1f && l <= 1.0f) return v * (1.0f / l);
    }
}

// A pixel accumulator for shapes sampled N x N times per pixel.
struct Samples {
    Col sum;
    int hits = 0;
};
void resolve(Canvas& cv, int x, int y, const Samples& s, int total)
{
    if (s.hits == 0) return;
    canvas_blend(cv, x, y, s.sum * (1.0f / float(s.hits)), float(s.hits) / float(total));
}

}  // namespace

// --- star -------------------------------------------------------------------

void render_star(Canvas& cv, float phase, float cx, float cy, float scale, bool soft)
{
    const float core = 5.4f * scale;
    const float turn = 2.0f * PI * phase;
    const float pulse = 0.5f + 0.5f * portable::cos(turn);  // 1 at the brightest frame
    const float rx = 14.6f * scale, ry = 11.6f * scale;  // the corona stays inside this
    const std::vector<Colour> disc{{236, 110, 10}, {255, 176, 50}, {255, 226, 140}, {255, 250, 226}, {255, 255, 250}};
    const std::vector<Colour> corona{{70, 0, 14}, {150, 20, 8}, {214, 70, 0}, {248, 146, 22}, {255, 214, 100}};
    int x0 = std::max(0, int(cx - rx) - 1), x1 = std::min(cv.w - 1, int(cx + rx) + 1);
    int y0 = std::max(0, int(cy - ry) - 1), y1 = std::min(cv.h - 1, int(cy + ry) + 1);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float dx = float(x) + 0.5f - cx, dy = float(y) + 0.5f - cy;
            float r = std::sqrt(dx * dx + dy * dy);
            float a = portable::atan2(dy, dx);
            if (r < core) {
                float mu = std::sqrt(1.0f - (r / core) * (r / core));
                // Granules drift by moving along a circle through the noise,
                // so the last frame leads back into the first.
                float g = value_noise3(dx / scale * 1.1f + 2.0f * portable::cos(turn), dy / scale * 1.1f,
                                       2.0f * portable::sin(turn), 0x51A2u);
                float t = clampf(0.05f + 0.95f * portable::pow(mu, 1.1f) + (g - 0.5f) * 0.3f + 0.06f * pulse, 0.0f, 1.0f);
                canvas_blend(cv, x, y, ramp(disc, t), 1.0f);
                continue;
            }
            // Streamers: noise around the rim, drifting with the phase.
            float streamer = value_noise3(portable::cos(a) * 2.6f + 1.3f * portable::cos(turn), portable::sin(a) * 2.6f,
                                          1.3f * portable::sin(turn), 0xC0F0u);
            float fine = value_noise3(portable::cos(a) * 6.0f, portable::sin(a) * 6.0f + 0.8f * portable::cos(turn),
                                      0.8f * portable::sin(turn), 0xC0F1u);
            float width = (1.6f + 1.5f * pulse) * scale * (0.45f + 1.1f * streamer * streamer + 0.3f * fine);
            float k = portable::exp(-(r - core) / width) * (0.8f + 0.3f * pulse);
            float e = (dx / rx) * (dx / rx) + (dy / ry) * (dy / ry);
            k *= smoothstep(1.0f, 0.72f, e);
            if (soft) {  // light added to what is behind, no dark rim
                cat(cv, x, y) = cat(cv, x, y) + ramp(corona, clampf(k * 1.3f, 0.0f, 1.0f)) * clampf(k * 1.5f, 0.0f, 1.0f);
                continue;
            }
            if (k < 0.06f) continue;
            canvas_blend(cv, x, y, ramp(corona, clampf(k, 0.0f, 1.0f)), clampf((k - 0.06f) * 5.0f, 0.0f, 1.0f));
        }
}

bool make_star_sheet(Image& out)
{
    Quantizer q = quantizer_make({{pal::CORONA, pal::CORONA_N}, {pal::FIRE, pal::FIRE_N}});
    out = sheet_make(STAR_SPRITE.frames, 1, STAR_SPRITE.width, STAR_SPRITE.height);
    for (int f = 0; f < 5; ++f) {
        Canvas cv = canvas_make(STAR_SPRITE.width, STAR_SPRITE.height);
        render_star(cv, float(f) / 5.0f, 15.0f, 12.0f, 1.0f, false);
        sheet_put(out, f, 0, canvas_quantize(cv, q, 0.0f, 0.5f));
    }
    return true;
}

// --- asteroid ---------------------------------------------------------------

namespace {

struct Bump {
    Vec3 dir;
    float amp, width;
};
struct Crater {
    Vec3 dir;
    float radius, depth;
};
// The rock's surface is worked out once per direction on a grid of
// latitudes and longitudes; the marcher then only looks it up.
constexpr int ROCK_LON = 192, ROCK_LAT = 96;

struct Rock {
    std::vector<Bump> bumps;
    std::vector<Crater> craters;
    Vec3 stretch;
    uint32_t seed;
    std::vector<float> radius, floor;  // ROCK_LAT + 1 rows of ROCK_LON
};

// Radius of the rock along the unit direction u (in units of its size), and
// how deep in a crater that point lies (0 outside, 1 at the centre).
float rock_surface(const Rock& rock, Vec3 u, float& crater_floor)
{
    float r = 1.0f;
    for (const Bump& b : rock.bumps) {
        Vec3 d = u - b.dir;
        r += b.amp * portable::exp(-dot(d, d) / (b.width * b.width));
    }
    crater_floor = 0.0f;
    for (const Crater& c : rock.craters) {
        Vec3 d = u - c.dir;
        float t = length(d) / c.radius;
        if (t < 1.0f) {
            r -= c.depth * (1.0f - t * t);
            crater_floor = std::max(crater_floor, 1.0f - t);
        }
        r += c.depth * 0.55f * portable::exp(-(t - 1.0f) * (t - 1.0f) / 0.06f);
    }
    r += (fbm3(u.x * 2.6f, u.y * 2.6f, u.z * 2.6f, 4, rock.seed) - 0.5f) * 0.22f;
    return r;
}

Rock make_rock(uint32_t seed)
{
    Rng rng{seed};
    Rock rock;
    rock.seed = seed;
    for (int i = 0; i < 14; ++i)
        rock.bumps.push_back({random_direction(rng), rng_range(rng, -0.2f, 0.24f), rng_range(rng, 0.35f, 0.9f)});
    for (int i = 0; i < 6; ++i)
        rock.craters.push_back({random_direction(rng), rng_range(rng, 0.25f, 0.5f), rng_range(rng, 0.08f, 0.14f)});
    rock.stretch = {rng_range(rng, 1.18f, 1.3f), rng_range(rng, 0.82f, 0.9f), rng_range(rng, 0.9f, 1.0f)};
    for (int j = 0; j <= ROCK_LAT; ++j)
        for (int i = 0; i < ROCK_LON; ++i) {
            float theta = PI * float(j) / ROCK_LAT, phi = 2.0f * PI * float(i) / ROCK_LON;
            Vec3 u{portable::sin(theta) * portable::cos(phi), portable::cos(theta), portable::sin(theta) * portable::sin(phi)};
            float fl = 0;
            rock.radius.push_back(rock_surface(rock, u, fl));
            rock.floor.push_back(fl);
        }
    return rock;
}

// The tables, read between their grid points.
float rock_lookup(const std::vector<float>& table, Vec3 u)
{
    float theta = portable::acos(clampf(u.y, -1.0f, 1.0f)), phi = portable::atan2(u.z, u.x);
    if (phi < 0) phi += 2.0f * PI;
    float fj = theta / PI * ROCK_LAT, fi = phi / (2.0f * PI) * ROCK_LON;
    int j = std::min(int(fj), ROCK_LAT - 1), i = int(fi) % ROCK_LON;
    float tj = fj - float(j), ti = fi - std::floor(fi);
    int i2 = (i + 1) % ROCK_LON;
    auto v = [&](int jj, int ii) { return table[size_t(jj) * ROCK_LON + size_t(ii)]; };
    float top = v(j, i) + (v(j, i2) - v(j, i)) * ti;
    float bottom = v(j + 1, i) + (v(j + 1, i2) - v(j + 1, i)) * ti;
    return top + (bottom - top) * tj;
}

constexpr float ROCK_REACH = 1.3f;

// Inside when negative; q in body coordinates.
float rock_field(const Rock& rock, Vec3 q)
{
    // Never past ROCK_REACH radii, so that every turn fits its cell.
    float bound = length(q) - ROCK_REACH;
    if (bound > 0) return bound;
    Vec3 s{q.x / rock.stretch.x, q.y / rock.stretch.y, q.z / rock.stretch.z};
    float l = length(s);
    if (l < 1e-6f) return -1.0f;
    return std::max(l - rock_lookup(rock.radius, s * (1.0f / l)), bound);
}

}  // namespace

namespace {

void render_rock(Canvas& cv, const Rock& rock, float turn, float cx, float cy, float radius)
{
    const uint32_t seed = rock.seed;
    const Vec3 axis = normalize({0.3f, 1.0f, 0.4f});
    const float angle = 2.0f * PI * turn;
    const float extent = ROCK_REACH + 0.02f;
    const std::vector<Colour> warm{{34, 26, 20}, {100, 82, 64}, {156, 134, 108}, {214, 196, 170}};
    const std::vector<Colour> cool{{26, 28, 36}, {84, 88, 100}, {136, 142, 156}, {196, 202, 214}};
    const int N = radius > 20.0f ? 2 : 3;
    int x0 = std::max(0, int(cx - extent * radius) - 1), x1 = std::min(cv.w - 1, int(cx + extent * radius) + 1);
    int y0 = std::max(0, int(cy - extent * radius) - 1), y1 = std::min(cv.h - 1, int(cy + extent * radius) + 1);
    auto body = [&](Vec3 p) { return rotate(p, axis, -angle); };
    auto field = [&](Vec3 p) { return rock_field(rock, body(p)); };
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            Samples px;
            for (int sy = 0; sy < N; ++sy)
                for (int sx = 0; sx < N; ++sx) {
                    float u = (float(x) + (float(sx) + 0.5f) / N - cx) / radius;
                    float v = (float(y) + (float(sy) + 0.5f) / N - cy) / radius;
                    float chord2 = extent * extent - u * u - v * v;
                    if (chord2 <= 0) continue;
                    // March from the viewer (+z) into the screen, through
                    // the sphere that bounds the rock.
                    const float half = std::sqrt(chord2);
                    float zf = half, zb = zf;
                    bool hit = false;
                    constexpr int STEPS = 22;
                    for (int i = 1; i <= STEPS; ++i) {
                        float z = half - 2.0f * half * float(i) / STEPS;
                        if (field({u, v, z}) < 0) {
                            zb = z;
                            hit = true;
                            break;
                        }
                        zf = z;
                    }
                    if (!hit) continue;
                    for (int i = 0; i < 7; ++i) {
                        float zm = 0.5f * (zf + zb);
                        if (field({u, v, zm}) < 0) zb = zm; else zf = zm;
                    }
                    Vec3 p{u, v, 0.5f * (zf + zb)};
                    const float e = 0.01f;
                    Vec3 n = normalize({field(p + Vec3{e, 0, 0}) - field(p - Vec3{e, 0, 0}),
                                        field(p + Vec3{0, e, 0}) - field(p - Vec3{0, e, 0}),
                                        field(p + Vec3{0, 0, e}) - field(p - Vec3{0, 0, e})});
                    Vec3 q = body(p);
                    Vec3 s{q.x / rock.stretch.x, q.y / rock.stretch.y, q.z / rock.stretch.z};
                    float floor_shade = rock_lookup(rock.floor, normalize(s));
                    float patch = fbm3(q.x * 1.6f + 5.0f, q.y * 1.6f, q.z * 1.6f, 3, seed + 99u);
                    float grit = fbm3(q.x * 7.0f, q.y * 7.0f, q.z * 7.0f, 2, seed + 7u);
                    float diffuse = std::max(0.0f, dot(n, LIGHT));
                    float light = clampf(0.17f + 0.9f * diffuse * (0.7f + 0.6f * grit) - 0.3f * floor_shade, 0.0f, 1.0f);
                    // Warm where the light falls, cool in the shade, with
                    // patches of both that turn with the rock.
                    float tint = clampf(1.0f - smoothstep(0.2f, 0.62f, light) + (patch - 0.5f) * 0.9f, 0.0f, 1.0f);
                    px.sum = px.sum + mix(ramp(warm, light), ramp(cool, light), tint);
                    px.hits++;
                }
            resolve(cv, x, y, px, N * N);
        }
}

}  // namespace

void render_asteroid(Canvas& cv, uint32_t seed, float turn, float cx, float cy, float radius)
{
    render_rock(cv, make_rock(seed), turn, cx, cy, radius);
}

bool make_asteroid_sheet(Image& out)
{
    const Rock rock = make_rock(0xA57E401Du);
    Quantizer q = quantizer_make({{pal::ROCK_WARM, pal::ROCK_WARM_N}, {pal::ROCK_COOL, pal::ROCK_COOL_N}});
    out = sheet_make(ASTEROID_SPRITE.frames, 1, ASTEROID_SPRITE.width, ASTEROID_SPRITE.height);
    for (int f = 0; f < 16; ++f) {
        Canvas cv = canvas_make(ASTEROID_SPRITE.width, ASTEROID_SPRITE.height);
        render_rock(cv, rock, float(f) / 16.0f, 15.5f, 15.0f, 10.9f);
        sheet_put(out, f, 0, canvas_quantize(cv, q, 0.0f, 0.5f));
    }
    return true;
}

// --- ship -------------------------------------------------------------------

namespace {

struct P2 {
    float x, y;
};

// The starboard half of the hull, nose first, in sprite pixels with the nose
// along +x; the port half mirrors it.
// The wings sweep back wide of the body, an arrowhead no rock outline has.
constexpr std::array<P2, 11> HULL_HALF{{{8.5f, 0.0f},
                                        {7.2f, 0.75f},
                                        {5.6f, 1.3f},
                                        {1.6f, 2.2f},
                                        {-2.8f, 5.0f},
                                        {-4.6f, 5.6f},
                                        {-5.3f, 4.4f},
                                        {-4.0f, 3.0f},
                                        {-4.6f, 2.2f},
                                        {-5.6f, 1.8f},
                                        {-5.6f, 0.0f}}};
constexpr float ENGINE_X = -5.6f;

std::vector<P2> hull_outline()
{
    std::vector<P2> poly(HULL_HALF.begin(), HULL_HALF.end());
    for (size_t i = HULL_HALF.size() - 2; i >= 1; --i) poly.push_back({HULL_HALF[i].x, -HULL_HALF[i].y});
    return poly;
}

bool inside(const std::vector<P2>& poly, P2 p)
{
    bool in = false;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        if ((poly[i].y > p.y) != (poly[j].y > p.y) &&
            p.x < (poly[j].x - poly[i].x) * (p.y - poly[i].y) / (poly[j].y - poly[i].y) + poly[i].x)
            in = !in;
    }
    return in;
}

// Distance to the outline, and the direction from the nearest edge inwards.
float edge_distance(const std::vector<P2>& poly, P2 p, P2& inward)
{
    float best = 1e9f;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        P2 a = poly[j], b = poly[i];
        float ex = b.x - a.x, ey = b.y - a.y;
        float t = clampf(((p.x - a.x) * ex + (p.y - a.y) * ey) / (ex * ex + ey * ey), 0.0f, 1.0f);
        float dx = p.x - (a.x + ex * t), dy = p.y - (a.y + ey * t);
        float d = std::sqrt(dx * dx + dy * dy);
        if (d < best) {
            best = d;
            inward = d > 0 ? P2{dx / d, dy / d} : P2{0, 0};
        }
    }
    return best;
}

// One sample of the ship in its own frame (nose along +x). Returns false
// where the ship is not; `normal` is in the ship's frame.
bool ship_sample(const std::vector<P2>& poly, P2 p, bool flame, float flame_len, Col& colour, Vec3& normal,
                 bool& lit)
{
    lit = true;
    if (inside(poly, p)) {
        P2 in{};
        float d = edge_distance(poly, p, in);
        const float bevel = 0.9f;
        float slope = d < bevel ? 0.8f : 0.0f;
        float spine = p.y > 0 ? 0.35f : (p.y < 0 ? -0.35f : 0.0f);
        normal = normalize({-in.x * slope, -in.y * slope + spine, 1.0f});
        colour = {255, 226, 70};
        float ay = std::fabs(p.y);
        if (p.x < -3.0f && ay > 4.0f) colour = {236, 56, 40};         // wing tips
        if (p.x < ENGINE_X + 0.9f && ay < 1.5f) colour = {64, 68, 80};  // nozzle
        float ex = (p.x - 1.6f) / 1.9f, ey = p.y / 0.95f;
        if (ex * ex + ey * ey < 1.0f) {  // canopy: dark glass, a dome
            float rr = ex * ex + ey * ey;
            normal = normalize({ex * 0.9f, ey * 0.9f, std::sqrt(1.0f - rr) + 0.3f});
            colour = {30, 120, 190};
        }
        return true;
    }
    if (!flame || p.x > ENGINE_X || p.x < ENGINE_X - flame_len) return false;
    float t = (ENGINE_X - p.x) / flame_len;  // 0 at the nozzle, 1 at the tip
    float w = 1.75f * (1.0f - portable::pow(t, 1.6f)) + 0.15f;
    float ay = std::fabs(p.y);
    if (ay > w) return false;
    float heat = (1.0f - t * 0.85f) * (1.0f - 0.55f * (ay / w) * (ay / w));
    const std::vector<Colour> fl{{16, 30, 130}, {40, 122, 232}, {96, 204, 255}, {210, 248, 255}, {255, 255, 255}};
    colour = ramp(fl, heat);
    lit = false;
    return true;
}

}  // namespace

void render_ship(Canvas& cv, float angle, float cx, float cy, float scale, bool flame, float flame_limit)
{
    const std::vector<P2> poly = hull_outline();
    const float c = portable::cos(angle), s = portable::sin(angle);
    const float flame_len = std::min(5.0f, flame_limit);
    const float reach = 12.0f * scale;
    const int N = scale > 2.0f ? 3 : 8;
    int x0 = std::max(0, int(cx - reach)), x1 = std::min(cv.w - 1, int(cx + reach));
    int y0 = std::max(0, int(cy - reach)), y1 = std::min(cv.h - 1, int(cy + reach));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            Samples px;
            for (int sy = 0; sy < N; ++sy)
                for (int sx = 0; sx < N; ++sx) {
                    float wx = (float(x) + (float(sx) + 0.5f) / float(N) - cx) / scale;
                    float wy = (float(y) + (float(sy) + 0.5f) / float(N) - cy) / scale;
                    // Screen to ship frame: undo the clockwise turn.
                    P2 p{wx * c + wy * s, -wx * s + wy * c};
                    Col colour;
                    Vec3 n{};
                    bool lit = true;
                    if (!ship_sample(poly, p, flame, flame_len, colour, n, lit)) continue;
                    if (lit) {
                        Vec3 ns{n.x * c - n.y * s, n.x * s + n.y * c, n.z};
                        float d = std::max(0.0f, dot(ns, LIGHT));
                        float spec = portable::pow(d, 12.0f);
                        // A high ambient: the player's ship stays bright on its shadowed side
                        // too, where a rock falls dark.
                        colour = colour * (0.62f + 0.58f * d) + Col{255, 255, 255} * (0.35f * spec);
                    }
                    px.sum = px.sum + colour;
                    px.hits++;
                }
            resolve(cv, x, y, px, N * N);
        }
}

bool make_ship_sheet(Image& out)
{
    Quantizer q = quantizer_make({{pal::HULL, pal::HULL_N},
                                  {pal::COCKPIT, pal::COCKPIT_N},
                                  {pal::STRIPE, pal::STRIPE_N},
                                  {pal::FLAME, pal::FLAME_N},
                                  {pal::GREY, pal::GREY_N}});
    out = sheet_make(SHIP_SPRITE.frames, 2, SHIP_SPRITE.width, SHIP_SPRITE.height);
    for (int row = 0; row < 2; ++row)
        for (int h = 0; h < 16; ++h) {
            float angle = float(h) * (2.0f * PI / 16.0f);
            // The flame stops short of the cell's edge behind the ship.
            float bx = -portable::cos(angle), by = -portable::sin(angle);
            float tx = std::fabs(bx) > 1e-4f ? 11.0f / std::fabs(bx) : 1e9f;
            float ty = std::fabs(by) > 1e-4f ? 9.0f / std::fabs(by) : 1e9f;
            float room = std::min(tx, ty) - 0.4f + ENGINE_X;
            Canvas cv = canvas_make(SHIP_SPRITE.width, SHIP_SPRITE.height);
            render_ship(cv, angle, 11.0f, 9.0f, 1.0f, row == 1, room);
            // A lower cut keeps the thin nose, which shows the heading.
            sheet_put(out, h, row, canvas_quantize(cv, q, 0.0f, 0.4f));
        }
    return true;
}

// --- projectile -------------------------------------------------------------

bool make_projectile_sheet(Image& out)
{
    Quantizer q = quantizer_make({{pal::FIRE, pal::FIRE_N}, {pal::GREY, pal::GREY_N}});
    out = sheet_make(SHOT_SPRITE.frames, 1, SHOT_SPRITE.width, SHOT_SPRITE.height);
    const std::array<float, 3> core{1.3f, 1.8f, 1.5f};
    const std::array<float, 3> halo{2.8f, 3.7f, 3.2f};
    const std::vector<Colour> heat{{170, 26, 0}, {255, 132, 12}, {255, 220, 90}, {255, 255, 236}};
    for (int f = 0; f < 3; ++f) {
        Canvas cv = canvas_make(SHOT_SPRITE.width, SHOT_SPRITE.height);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                float dx = float(x) + 0.5f - 4.0f, dy = float(y) + 0.5f - 4.0f;
                float r = std::sqrt(dx * dx + dy * dy);
                // A four-pointed glint on the middle frame.
                float glint = f == 1 ? std::max(0.0f, 1.0f - std::min(std::fabs(dx), std::fabs(dy)) * 1.4f) : 0.0f;
                float k = r < core[size_t(f)] ? 1.0f : std::max(0.0f, 1.0f - (r - core[size_t(f)]) / (halo[size_t(f)] - core[size_t(f)]));
                k = std::max(k, glint * std::max(0.0f, 1.0f - r / 4.2f));
                if (k < 0.12f) continue;
                canvas_blend(cv, x, y, ramp(heat, k), 1.0f);
            }
        sheet_put(out, f, 0, canvas_quantize(cv, q, 0.0f, 0.5f));
    }
    return true;
}

// --- explosion --------------------------------------------------------------

bool make_explosion_sheet(Image& out)
{
    Quantizer q = quantizer_make({{pal::FIRE, pal::FIRE_N}, {pal::GREY, pal::GREY_N}});
    out = sheet_make(EXPLOSION_SPRITE.frames, 1, EXPLOSION_SPRITE.width, EXPLOSION_SPRITE.height);
    // Drawn with its top-left on the body's top-left: the bodies' centres lie
    // between (9, 9) and (15, 15), so the blast is centred there.
    const float cx = 13.0f, cy = 12.0f;
    const std::array<float, 10> radius{5.0f, 8.5f, 11.0f, 12.0f, 12.5f, 12.5f, 12.0f, 10.5f, 8.5f, 6.5f};
    const std::array<float, 10> heat{1.3f, 1.25f, 1.12f, 0.98f, 0.84f, 0.68f, 0.52f, 0.4f, 0.28f, 0.18f};
    const std::vector<Colour> fire{{40, 0, 0}, {110, 10, 0}, {180, 32, 0}, {232, 84, 0},
                                {255, 146, 16}, {255, 204, 60}, {255, 244, 170}, {255, 255, 250}};
    struct Spark {
        float dx, dy, reach, life, temp;
    };
    Rng rng{0xE8B105u};
    std::vector<Spark> sparks;
    for (int i = 0; i < 34; ++i) {
        float a = rng_range(rng, 0, 2 * PI);
        float dx = portable::cos(a), dy = portable::sin(a);
        // Stay inside the cell: at most to its edge in that direction.
        float room = std::min({dx < 0 ? cx / -dx : (42.0f - cx) / std::max(dx, 1e-4f),
                               dy < 0 ? cy / -dy : (36.0f - cy) / std::max(dy, 1e-4f), 16.0f}) - 1.0f;
        sparks.push_back({dx, dy, room * rng_range(rng, 0.55f, 1.0f), rng_range(rng, 6.5f, 10.5f), rng_range(rng, 0.7f, 1.0f)});
    }
    for (int f = 0; f < 10; ++f) {
        Canvas cv = canvas_make(EXPLOSION_SPRITE.width, EXPLOSION_SPRITE.height);
        const float r0 = radius[size_t(f)];
        for (int y = 0; y < 36; ++y)
            for (int x = 0; x < 42; ++x) {
                float dx = float(x) + 0.5f - cx, dy = float(y) + 0.5f - cy;
                float a = portable::atan2(dy, dx);
                // A ragged rim: the radius wanders with the angle.
                float rim = value_noise3(portable::cos(a) * 2.5f, portable::sin(a) * 2.5f, float(f) * 0.45f, 0xB10Bu);
                float d = std::sqrt(dx * dx + dy * dy) / (r0 * (0.8f + 0.4f * rim));
                if (d > 1.4f) continue;
                float n = fbm2(float(x) * 0.22f, float(y) * 0.22f - float(f) * 0.35f, 3, 0xF1A3u + uint32_t(f / 3));
                float body = std::max(0.0f, 1.0f - d * d);
                float churn = 0.45f + 0.06f * float(f);  // smooth flash, then ever more turbulent
                float t = heat[size_t(f)] * portable::pow(body, 0.6f) * (1.0f + churn * 2.0f * (n - 0.5f));
                // Late frames tear apart into ragged wisps.
                if (f >= 5) t -= (float(f) - 4.0f) * 0.07f * (1.0f - n);
                if (t < 0.12f) continue;
                canvas_blend(cv, x, y, ramp(fire, clampf(t, 0.0f, 1.0f)), 1.0f);
            }
        if (f >= 2) {
            float age = float(f - 2) / 7.0f;  // 0..1 over frames 2..9
            for (const Spark& s : sparks) {
                if (float(f) > s.life) continue;
                float dist = 4.0f + (s.reach - 4.0f) * (1.0f - (1.0f - age) * (1.0f - age));
                float temp = clampf(s.temp * (1.05f - 0.75f * age), 0.2f, 1.0f);
                for (int k = 0; k < 2; ++k) {  // a head and a dimmer tail
                    float dd = dist - float(k) * 1.2f;
                    int sx = int(cx + s.dx * dd), sy = int(cy + s.dy * dd);
                    if (sx < 0 || sy < 0 || sx >= 42 || sy >= 36) continue;
                    canvas_blend(cv, sx, sy, ramp(fire, temp * (k == 0 ? 1.0f : 0.7f)), 1.0f);
                }
            }
        }
        sheet_put(out, f, 0, canvas_quantize(cv, q, 0.0f, 0.5f));
    }
    return true;
}

// --- astronaut --------------------------------------------------------------

namespace {

struct Piece {
    enum Kind { CAPSULE, DISC, BOX } kind;
    P2 a, b;       // capsule end points; disc centre in a; box corners a..b
    float radius;  // capsule, disc, and the box's rounding
    Col colour;
    enum Finish { MATT, GLOSS, LAMP } finish = MATT;  // a lamp shines whatever the light
};

float seg_distance(P2 p, P2 a, P2 b, P2& foot)
{
    float ex = b.x - a.x, ey = b.y - a.y;
    float len2 = ex * ex + ey * ey;
    float t = len2 > 0 ? clampf(((p.x - a.x) * ex + (p.y - a.y) * ey) / len2, 0.0f, 1.0f) : 0.0f;
    foot = {a.x + ex * t, a.y + ey * t};
    return std::sqrt((p.x - foot.x) * (p.x - foot.x) + (p.y - foot.y) * (p.y - foot.y));
}

// Where p lies on the piece, a rounded normal as if each piece were a tube or
// a ball; false outside it.
bool piece_hit(const Piece& piece, P2 p, Vec3& normal)
{
    P2 foot{};
    float d = 0;
    switch (piece.kind) {
    case Piece::CAPSULE: d = seg_distance(p, piece.a, piece.b, foot); break;
    case Piece::DISC:
        foot = piece.a;
        d = std::sqrt((p.x - foot.x) * (p.x - foot.x) + (p.y - foot.y) * (p.y - foot.y));
        break;
    case Piece::BOX:
        foot = {clampf(p.x, piece.a.x + piece.radius, piece.b.x - piece.radius),
                clampf(p.y, piece.a.y + piece.radius, piece.b.y - piece.radius)};
        d = std::sqrt((p.x - foot.x) * (p.x - foot.x) + (p.y - foot.y) * (p.y - foot.y));
        break;
    }
    if (d > piece.radius) return false;
    float ox = (p.x - foot.x) / piece.radius, oy = (p.y - foot.y) / piece.radius;
    normal = normalize({ox, oy, std::sqrt(std::max(0.0f, 1.0f - ox * ox - oy * oy)) + 0.15f});
    return true;
}

}  // namespace

bool make_astronaut_sheet(Image& out)
{
    Quantizer q = quantizer_make({{pal::SUIT, pal::SUIT_N},
                                  {pal::SUIT_ORANGE, pal::SUIT_ORANGE_N},
                                  {pal::VISOR, pal::VISOR_N},
                                  {pal::GREY, pal::GREY_N},
                                  {pal::TEXT_GREEN, 1},
                                  {pal::TEXT_RED, 1}});
    out = sheet_make(ASTRONAUT_SPRITE.frames, 1, ASTRONAUT_SPRITE.width, ASTRONAUT_SPRITE.height);
    const Col suit{232, 232, 238}, orange{236, 120, 24}, visor{222, 176, 48}, pack{150, 152, 164};
    for (int f = 0; f < 6; ++f) {
        float t = 2.0f * PI * float(f) / 6.0f;
        float sway = 0.12f * portable::sin(t);                     // the body drifts about its middle
        float wave = 0.3f + 0.7f * (0.5f + 0.5f * portable::sin(t * 2.0f));  // waving arm, from straight up
        float other = 0.35f + 0.15f * portable::sin(t + 1.0f);
        P2 ls{6.4f, 9.0f}, rs{11.6f, 9.0f};
        P2 lh{ls.x - 4.6f * portable::sin(wave), ls.y - 4.6f * portable::cos(wave)};
        P2 rh{rs.x + 4.2f * portable::sin(PI - other * 2.0f) * 0.6f + 0.6f, rs.y + 4.2f * portable::cos(other)};
        float kick = 0.6f * portable::sin(t + 0.8f);
        const Col light = (f % 2 == 0) ? Col{255, 30, 30} : Col{40, 255, 40};
        std::vector<Piece> pieces{
            {Piece::BOX, {5.3f, 7.6f}, {12.7f, 12.6f}, 1.5f, pack},             // backpack, behind
            {Piece::CAPSULE, {7.6f, 13.4f}, {6.8f + kick, 18.4f}, 1.45f, suit},  // legs
            {Piece::CAPSULE, {10.4f, 13.4f}, {11.2f - kick, 18.4f}, 1.45f, suit},
            {Piece::CAPSULE, {6.8f + kick, 17.9f}, {6.8f + kick, 18.5f}, 1.5f, orange},  // boots
            {Piece::CAPSULE, {11.2f - kick, 17.9f}, {11.2f - kick, 18.5f}, 1.5f, orange},
            {Piece::BOX, {6.0f, 8.2f}, {12.0f, 14.6f}, 1.6f, suit},  // torso
            {Piece::BOX, {7.6f, 10.2f}, {10.4f, 12.0f}, 0.5f, orange},  // chest panel
            {Piece::DISC, {9.0f, 11.1f}, {}, 0.9f, light, Piece::LAMP},  // its blinking lamp
            {Piece::CAPSULE, ls, lh, 1.25f, suit},                      // arms
            {Piece::CAPSULE, rs, rh, 1.25f, suit},
            {Piece::DISC, lh, {}, 1.3f, orange},  // gloves
            {Piece::DISC, rh, {}, 1.3f, orange},
            {Piece::DISC, {9.0f, 4.8f}, {}, 3.9f, suit},                  // helmet
            {Piece::BOX, {6.6f, 3.4f}, {11.6f, 6.9f}, 1.6f, visor, Piece::GLOSS},  // visor
        };
        Canvas cv = canvas_make(ASTRONAUT_SPRITE.width, ASTRONAUT_SPRITE.height);
        constexpr int N = 6;
        const float cs = portable::cos(sway), sn = portable::sin(sway);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 18; ++x) {
                Samples px;
                for (int sy = 0; sy < N; ++sy)
                    for (int sx = 0; sx < N; ++sx) {
                        float wx = float(x) + (float(sx) + 0.5f) / N - 9.0f;
                        float wy = float(y) + (float(sy) + 0.5f) / N - 10.0f;
                        P2 p{wx * cs + wy * sn + 9.0f, -wx * sn + wy * cs + 10.0f};
                        for (size_t i = pieces.size(); i-- > 0;) {
                            Vec3 n{};
                            if (!piece_hit(pieces[i], p, n)) continue;
                            Vec3 ns{n.x * cs - n.y * sn, n.x * sn + n.y * cs, n.z};
                            float d = std::max(0.0f, dot(ns, LIGHT));
                            const Piece& piece = pieces[i];
                            Col shaded = piece.finish == Piece::LAMP ? piece.colour : piece.colour * (0.38f + 0.72f * d);
                            if (piece.finish == Piece::GLOSS)
                                shaded = shaded + Col{255, 255, 220} * (0.6f * portable::pow(d, 10.0f));
                            px.sum = px.sum + shaded;
                            px.hits++;
                            break;
                        }
                    }
                resolve(cv, x, y, px, N * N);
            }
        sheet_put(out, f, 0, canvas_quantize(cv, q, 0.0f, 0.5f));
    }
    return true;
}

}  // namespace art
