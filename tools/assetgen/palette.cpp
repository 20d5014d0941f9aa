// The one palette of every image. The game shows everything with the
// splash's colours, so the palette is laid out for the art: a ramp per
// material, the exact colours the game writes its texts in, and a coarse cube
// so that any random text colour finds a near match.
#include <array>

#include "art.h"
#include "assetgen.h"

using art::Col;

namespace {

void fill_ramp(Palette& p, int first, int count, const std::vector<Colour>& stops)
{
    for (int i = 0; i < count; ++i) {
        Col c = art::ramp(stops, count == 1 ? 0.0f : float(i) / float(count - 1));
        p[size_t(first + i)] = Colour{uint8_t(c.r + 0.5f), uint8_t(c.g + 0.5f), uint8_t(c.b + 0.5f)};
    }
}

Palette build_palette()
{
    namespace pal = art::pal;
    Palette p{};
    p[pal::BLACK] = {0, 0, 0};
    for (int i = 1; i < pal::GREY_N; ++i) p[size_t(pal::GREY + i - 1)] = {uint8_t(8 * i), uint8_t(8 * i), uint8_t(8 * i)};
    p[pal::WHITE] = {255, 255, 255};

    fill_ramp(p, pal::FIRE, pal::FIRE_N,
              {{28, 0, 0}, {96, 8, 0}, {170, 26, 0}, {228, 72, 0}, {255, 132, 12}, {255, 192, 44}, {255, 236, 130},
               {255, 255, 236}});
    fill_ramp(p, pal::ROCK_WARM, pal::ROCK_WARM_N, {{26, 20, 16}, {78, 62, 48}, {146, 122, 98}, {222, 204, 178}});
    fill_ramp(p, pal::ROCK_COOL, pal::ROCK_COOL_N, {{16, 18, 26}, {58, 62, 74}, {112, 118, 132}, {196, 202, 216}});
    // The player's hull is a warm yellow no rock or suit has, bright enough to
    // find first on a crowded field.
    fill_ramp(p, pal::HULL, pal::HULL_N, {{40, 26, 0}, {142, 98, 0}, {236, 184, 18}, {255, 232, 96}, {255, 252, 214}});
    fill_ramp(p, pal::COCKPIT, pal::COCKPIT_N, {{0, 50, 84}, {0, 118, 160}, {60, 200, 232}, {190, 248, 255}});
    fill_ramp(p, pal::STRIPE, pal::STRIPE_N, {{96, 10, 10}, {164, 22, 20}, {222, 52, 40}, {255, 124, 92}});
    fill_ramp(p, pal::FLAME, pal::FLAME_N,
              {{10, 10, 64}, {22, 44, 168}, {40, 122, 232}, {96, 204, 255}, {204, 246, 255}, {255, 255, 255}});
    fill_ramp(p, pal::SUIT, pal::SUIT_N, {{34, 34, 42}, {112, 114, 126}, {190, 192, 200}, {244, 244, 248}});
    fill_ramp(p, pal::SUIT_ORANGE, pal::SUIT_ORANGE_N, {{84, 30, 0}, {200, 90, 10}, {255, 214, 144}});
    fill_ramp(p, pal::VISOR, pal::VISOR_N, {{70, 48, 0}, {150, 110, 10}, {222, 182, 52}, {255, 242, 164}});
    fill_ramp(p, pal::CORONA, pal::CORONA_N,
              {{44, 0, 12}, {124, 12, 10}, {202, 60, 0}, {250, 150, 20}, {255, 220, 112}, {255, 250, 224}});
    fill_ramp(p, pal::SPACE_BLUE, pal::SPACE_BLUE_N,
              {{2, 3, 10}, {6, 10, 28}, {16, 28, 68}, {44, 72, 140}, {130, 170, 232}});
    fill_ramp(p, pal::SPACE_VIOLET, pal::SPACE_VIOLET_N,
              {{6, 2, 12}, {22, 8, 40}, {58, 20, 94}, {118, 60, 170}, {204, 154, 244}});
    fill_ramp(p, pal::GLOW, pal::GLOW_N, {{8, 5, 14}, {26, 8, 16}, {52, 16, 12}, {84, 30, 8}, {110, 44, 8}});
    fill_ramp(p, pal::SPACE_TEAL, pal::SPACE_TEAL_N, {{4, 20, 26}, {60, 140, 152}});
    p[pal::TEXT_GREEN] = {0, 255, 0};
    p[pal::TEXT_ORANGE] = {200, 64, 0};
    p[pal::TEXT_RED] = {255, 20, 20};

    // Four levels per channel, leaving out the greys (the grey ramp has them)
    // and pure green (the text green above is that colour).
    int k = pal::CUBE;
    constexpr std::array<uint8_t, 4> levels{0, 85, 170, 255};
    for (uint8_t r : levels)
        for (uint8_t g : levels)
            for (uint8_t b : levels) {
                if (r == g && g == b) continue;
                if (r == 0 && g == 255 && b == 0) continue;
                p[size_t(k++)] = {r, g, b};
            }
    p[pal::STAR_TINTS + 0] = {196, 216, 255};
    p[pal::STAR_TINTS + 1] = {255, 240, 196};
    p[pal::STAR_TINTS + 2] = {255, 196, 180};
    // No colour twice: a picture exported with these colours (index 0 as
    // see-through) then maps back to the very indices it came from. A later
    // repeat gives up one step of red (gains one of blue when it has no red).
    for (size_t i = 1; i < p.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (p[i].r == p[j].r && p[i].g == p[j].g && p[i].b == p[j].b) {
                if (p[i].r > 0) --p[i].r;
                else ++p[i].b;
                j = size_t(-1);  // and compare anew with every earlier one
            }
    return p;
}

}  // namespace

const Palette& game_palette()
{
    static const Palette palette = build_palette();
    return palette;
}
