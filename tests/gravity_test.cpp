// The ship's pull near and on the star's centre, which the golden runs never
// reach, and every body's wrap bounds on both axes, which they reach only in part.
#include "game_fixture.h"

namespace {

struct Body {
    float x, y, vx, vy;
};

Body step(Body b, const BodyMotion& m)
{
    Star star{};
    star.x = 305.0f;
    star.y = 228.0f;
    star.mass = 50000.0f;
    gravity_step(b.x, b.y, b.vx, b.vy, m, star);
    return b;
}

}  // namespace

// Centres 10 pixels right of the star's (320, 240): the other bodies' cut-off
// would leave the ship unpulled. Exactly on the centre it has no direction.
TEST(Gravity, TheShipHasNoCutOffAndStaysFiniteOnTheCentre)
{
    EXPECT_NEAR(step({320 + 10 - 11, 240 - 9, 1, 0}, SHIP_MOTION).vx, 1.0 - 2.5, 1e-6);
    const Body centred = step({320 - 11, 240 - 9, 0, 0}, SHIP_MOTION);
    EXPECT_EQ(std::pair(centred.vx, centred.vy), std::pair(0.0f, 0.0f));
}

TEST(Gravity, EachBodyWrapsItsCentreOncePerAxis)
{
    EXPECT_EQ(step({624, 100, 3, 0}, ASTEROID_MOTION).x, -15.0f);
    EXPECT_EQ(step({-14, 100, -3, 0}, ASTEROID_MOTION).x, 625.0f);
    EXPECT_EQ(step({100, 464, 0, 3}, ASTEROID_MOTION).y, -15.0f);
    EXPECT_EQ(step({100, 475, 0, 2}, SHOT_MOTION).y, -4.0f);
    EXPECT_EQ(step({635, 100, 2, 0}, SHOT_MOTION).x, -4.0f);
    EXPECT_EQ(step({100, 469, 0, 2}, ASTRONAUT_MOTION).y, -10.0f);
    EXPECT_EQ(step({630, 100, 2, 0}, ASTRONAUT_MOTION).x, -9.0f);
    EXPECT_EQ(step({628.5f, 100, 1, 0}, SHIP_MOTION).x, -11.0f);
    EXPECT_EQ(step({100, 470, 0, 2}, SHIP_MOTION).y, -9.0f);
    EXPECT_EQ(step({-30, 100, -7, 0}, SHIP_MOTION).x, 629.0f);
    // Level with the star, at full speed, exactly onto either bound: no wrap yet.
    EXPECT_EQ(std::pair(step({618, 225, 9, 0}, ASTEROID_MOTION).x, step({-8, 225, -9, 0}, ASTEROID_MOTION).x),
              std::pair(625.0f, -15.0f));
}
