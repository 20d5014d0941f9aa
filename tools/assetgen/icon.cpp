// The desktop icon: the ship under thrust, climbing away from the star's glow
// on a disc of deep space, drawn afresh at every size a desktop asks for
// rather than scaled from one picture.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "art.h"
#include "assetgen.h"
#include "formats/png.h"
#include "portable_math.h"

namespace {

using namespace art;

// Straight (not premultiplied) colour and coverage, 8 bits each.
std::vector<uint8_t> draw_icon(int size)
{
    const float s = float(size);
    const float centre = s * 0.5f, radius = s * 0.48f;
    // The star sits low on the left, mostly beyond the disc's rim.
    const float star_x = s * 0.16f, star_y = s * 0.84f;
    Canvas space = canvas_make(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float dx = float(x) + 0.5f - centre, dy = float(y) + 0.5f - centre;
            const float d = std::sqrt(dx * dx + dy * dy);
            cat(space, x, y) = mix(Col{16, 24, 64}, Col{3, 5, 18}, smoothstep(0.0f, radius, d));
            aat(space, x, y) = clampf(radius - d + 0.5f, 0.0f, 1.0f);  // a smooth rim
        }
    canvas_glow(space, star_x, star_y, s * 0.30f, Col{150, 60, 12});
    canvas_glow(space, star_x, star_y, s * 0.12f, Col{255, 170, 60});

    Canvas ship = canvas_make(size, size);
    const float angle = -PI / 4.0f;  // nose to the upper right
    const float scale = s / 21.5f;
    // The ship's middle, flame included, lies a little behind its origin.
    const float back = 1.05f * scale;
    render_ship(ship, angle, centre + back * portable::cos(angle), centre + back * portable::sin(angle), scale, true, 5.0f);

    std::vector<uint8_t> rgba(size_t(size) * size_t(size) * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float under = aat(space, x, y);
            const float over = std::min(1.0f, aat(ship, x, y));
            // The ship's canvas holds its colour already weighted by coverage.
            const Col ship_colour = over > 0 ? cat(ship, x, y) * (1.0f / over) : Col{};
            const float alpha = over + under * (1.0f - over);
            Col c{};
            if (alpha > 0) c = (ship_colour * over + cat(space, x, y) * (under * (1.0f - over))) * (1.0f / alpha);
            uint8_t* o = &rgba[(size_t(y) * size_t(size) + size_t(x)) * 4];
            o[0] = uint8_t(std::lround(clampf(c.r, 0, 255)));
            o[1] = uint8_t(std::lround(clampf(c.g, 0, 255)));
            o[2] = uint8_t(std::lround(clampf(c.b, 0, 255)));
            o[3] = uint8_t(std::lround(alpha * 255.0f));
        }
    return rgba;
}

}  // namespace

int write_icons(const std::string& dir)
{
    for (int size : ICON_SIZES) {
        const std::vector<uint8_t> rgba = draw_icon(size);
        const std::string path = dir + "/kestrava-" + std::to_string(size) + ".png";
        if (!png_write_rgba(path.c_str(), size, size, rgba.data())) return 0;
    }
    return 1;
}
