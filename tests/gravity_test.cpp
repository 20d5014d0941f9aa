// The pull of the star, its cut-off, the speed cap and the wrap, at the
// readings that pin them.
#include <cmath>

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

TEST(Gravity, PullAtRestAndTheFirstAsteroidOfTheFirstGame)
{
    // 100 pixels left of the star's centre (320, 240), on its row.
    const Body b = step({320.0f - 100 - 15, 240.0f - 15, 0, 0}, ASTEROID_MOTION);
    EXPECT_FLOAT_EQ(b.vx, 0.025f);
    EXPECT_FLOAT_EQ(b.vy, 0.0f);
    EXPECT_FLOAT_EQ(b.x, 205.025f);
    const Body a = step({0, 94, 3, 1}, ASTEROID_MOTION);
    EXPECT_NEAR(a.vx, 3.002085, 1e-6);
    EXPECT_NEAR(a.vy, 1.000895, 1e-6);
}

TEST(Gravity, CutOffNearTheStarExceptForTheShip)
{
    // Centres 10 pixels right of the star's centre.
    EXPECT_EQ(step({320 + 10 - 15, 240 - 15, 1, 0}, ASTEROID_MOTION).vx, 1.0f);
    EXPECT_EQ(step({320 + 10 - 9, 240 - 10, 1, 0}, ASTRONAUT_MOTION).vx, 1.0f);
    EXPECT_EQ(step({320 + 10 - 4, 240 - 4, 1, 0}, SHOT_MOTION).vx, 1.0f);
    EXPECT_NEAR(step({320 + 10 - 11, 240 - 9, 1, 0}, SHIP_MOTION).vx, 1.0 - 2.5, 1e-6);
    // A ship exactly on the centre gets no pull and stays finite.
    const Body centred = step({320 - 11, 240 - 9, 0, 0}, SHIP_MOTION);
    EXPECT_EQ(centred.vx, 0.0f);
    EXPECT_EQ(centred.vy, 0.0f);
}

TEST(Gravity, SpeedCapKeepsDirection)
{
    // Inside the cut-off, so no pull: only the cap acts.
    const Body fast = step({320 - 4, 240 - 4, 8 * 0.6f, 8 * 0.8f}, SHOT_MOTION);
    EXPECT_NEAR(std::hypot(fast.vx, fast.vy), 7.0, 1e-6);
    EXPECT_NEAR(fast.vx / fast.vy, 0.75, 1e-6);
    EXPECT_EQ(step({320 - 4, 240 - 4, 7, 0}, SHOT_MOTION).vx, 7.0f);
    EXPECT_EQ(step({320 - 4, 240 - 4, 7.01f, 0}, SHOT_MOTION).vx, 7.0f);
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
}
