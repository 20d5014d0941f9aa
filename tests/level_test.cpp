#include <cmath>

#include "game_fixture.h"

TEST(GameRand, FirstDrawsFromProgramStart)
{
    fresh_world();
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int e : expected) EXPECT_EQ(game_rand(), e);
}

TEST(HeadingTables, StepIsShortOfPiOverEight)
{
    fresh_world();
    build_heading_tables();
    EXPECT_EQ(world.cos_table[0], 1.0f);
    EXPECT_EQ(world.sin_table[0], 0.0f);
    EXPECT_NEAR(world.cos_table[4], 1.326795e-06, 1e-11);
    EXPECT_NEAR(world.sin_table[8], 2.653590e-06, 1e-11);
    EXPECT_NEAR(world.cos_table[12], -3.980385e-06, 1e-11);
    EXPECT_NEAR(world.cos_table[9], -0.9238807, 1e-7);
    EXPECT_NEAR(world.sin_table[15], -0.3826880, 1e-7);
    EXPECT_EQ(world.cos_table[5], static_cast<float>(std::cos(5 * 0.39269875)));
}

TEST(ResetLevel, FirstGameFromProgramStart)
{
    fresh_world();
    reset_level(0);
    EXPECT_EQ(world.level, 1);
    EXPECT_EQ(world.asteroid_count, 3);
    EXPECT_EQ(world.asteroids_left, 3);
    EXPECT_EQ(world.asteroids[0].mass, 184.0f);
    EXPECT_EQ(world.asteroids[0].y, 94.0f);
    EXPECT_EQ(world.asteroids[0].x, 0.0f);
    EXPECT_EQ(world.asteroids[0].vx, 3.0f);
    EXPECT_EQ(world.asteroids[0].vy, 1.0f);
    EXPECT_EQ(world.asteroids[2].state, STATE_ACTIVE);
    EXPECT_EQ(world.asteroids[3].state, STATE_GONE);
    EXPECT_EQ(world.astronaut.air, 600);
    // 1 draw for the music, 210 for the asteroids, 2 for the astronaut.
    uint32_t expected = 1;
    for (int i = 0; i < 213; ++i) expected = expected * 214013u + 2531011u;
    EXPECT_EQ(rand_state, expected);
}

TEST(ResetLevel, RandomRangesAndAstronautPlacement)
{
    fresh_world();
    for (int game = 0; game < 200; ++game) {
        reset_level(game % 3);
        for (const Asteroid& a : world.asteroids) {
            EXPECT_GE(a.vy, -1.0f);
            EXPECT_LE(a.vy, 2.0f);
            EXPECT_GE(a.vx, 3.0f);
            EXPECT_TRUE(a.delay >= 3 && a.delay <= 5);
            EXPECT_TRUE(a.frame >= 0 && a.frame <= 15);
            EXPECT_EQ(static_cast<int>(a.mass) % 2, 0);
        }
        EXPECT_LT(world.astronaut.x, 320.0f);
        EXPECT_EQ(world.astronaut.vx, 2.0f);
        EXPECT_EQ(world.astronaut.vy, 1.0f);
        EXPECT_EQ(world.live_shots, 0);
        for (const Shot& s : world.shots) EXPECT_EQ(s.state, STATE_GONE);
    }
}

TEST(ResetLevel, LevelsGrowToThirtyAsteroidsAndNewGameStartsOver)
{
    fresh_world();
    reset_level(0);
    world.score = 770;
    reset_level(1);
    EXPECT_EQ(world.level, 2);
    EXPECT_EQ(world.asteroid_count, 4);
    EXPECT_EQ(world.astronaut.air, 900);
    EXPECT_EQ(world.score, 770);
    for (int l = 3; l <= 30; ++l) reset_level(1);
    EXPECT_EQ(world.level, 30);
    EXPECT_EQ(world.asteroid_count, 30);
    EXPECT_EQ(world.astronaut.air, 300 * 30 + 300);
    for (const Asteroid& a : world.asteroids) EXPECT_EQ(a.state, STATE_ACTIVE);
    world.phase = PHASE_GAME_OVER;
    world.end_counter = 1;
    world.game_over_started = 1;
    world.frame_parity = 1;
    reset_level(0);
    EXPECT_EQ(world.level, 1);
    EXPECT_EQ(world.asteroid_count, 3);
    EXPECT_EQ(world.score, 0);
    EXPECT_EQ(world.phase, PHASE_PLAYING);
    EXPECT_EQ(world.end_counter, 0);
    EXPECT_EQ(world.game_over_started, 0);
    EXPECT_EQ(world.frame_parity, 0);
}
