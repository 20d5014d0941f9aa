// The one motion rule of every moving body: pull toward the star, cap the
// speed at 7, move, wrap the body's centre around the screen edges.
//
// Every expression is evaluated in double and rounded to float only where it
// is stored, so that every build on every machine flies the same paths.
#include <cmath>

#include "game/rules.h"

// The star's gravity centre, from its top-left corner.
constexpr double STAR_CENTRE_X = 15.0;
constexpr double STAR_CENTRE_Y = 12.0;
// The pull is the star's mass times PULL_PER_MASS over the squared distance.
constexpr double PULL_PER_MASS = 0.005;
// Bodies with the near cutoff feel no pull closer than this to the centre.
constexpr float NEAR_CUTOFF = 15.0f;
// No body flies faster than this many pixels a step.
constexpr double SPEED_CAP = 7.0;

const BodyMotion ASTEROID_MOTION{15, 15, true, -15.0f, 625.0f, -15.0f, 465.0f};
const BodyMotion SHIP_MOTION{11, 9, false, -11.0f, 629.0f, -9.0f, 471.0f};
const BodyMotion SHOT_MOTION{4, 4, true, -4.0f, 636.0f, -4.0f, 476.0f};
const BodyMotion ASTRONAUT_MOTION{9, 10, true, -9.0f, 631.0f, -10.0f, 470.0f};

static float wrap(float v, float lo, float hi)
{
    if (v > hi) return lo;
    if (v < lo) return hi;
    return v;
}

void gravity_step(float& x, float& y, float& vx, float& vy, const BodyMotion& m, const Star& star)
{
    const double dx = (static_cast<double>(star.x) + STAR_CENTRE_X) - (static_cast<double>(x) + m.centre_x);
    const double dy = (static_cast<double>(star.y) + STAR_CENTRE_Y) - (static_cast<double>(y) + m.centre_y);
    const double d2 = dx * dx + dy * dy;
    const float d = static_cast<float>(std::sqrt(d2));
    // A ship exactly on the star's centre has no direction to fall in.
    if (d2 != 0.0) {
        const float a = static_cast<float>((static_cast<double>(star.mass) * PULL_PER_MASS) / d2);
        if (!m.near_cutoff || d >= NEAR_CUTOFF) {
            vx = static_cast<float>(vx + (static_cast<double>(a) * dx) / d);
            vy = static_cast<float>(vy + (static_cast<double>(a) * dy) / d);
        }
    }
    const double s = std::sqrt(static_cast<double>(vx) * vx + static_cast<double>(vy) * vy);
    if (s > SPEED_CAP) {
        const double k = SPEED_CAP / s;
        vx = static_cast<float>(vx * k);
        vy = static_cast<float>(vy * k);
    }
    x = static_cast<float>(static_cast<double>(x) + vx);
    y = static_cast<float>(static_cast<double>(y) + vy);
    x = wrap(x, m.x_lo, m.x_hi);
    y = wrap(y, m.y_lo, m.y_hi);
}
