// The frame sequence and the levels where a golden trace cannot show them:
// SPACE leaving the intro, the level-clear count pausing, a ship lost in the
// delay, ESC in every phase, the frame's pacing, the levels up to thirty.
#include "game_fixture.h"
#include "platform/headless.h"

namespace {

// A level whose goals already hold: no asteroids, astronaut gone, ship safe.
void won_level()
{
    fresh_world();
    headless_reset();
    reset_level(NEW_GAME);
    clear_asteroids();
    world.astronaut.state = STATE_GONE;
}

}  // namespace

TEST(Frame, SpaceLeavesTheIntroAndThatFramePlays)
{
    fresh_world();
    headless_reset();
    reset_level(NEW_GAME);
    world.intro_timer = 1350;
    world.intro_scroll_y = 480;
    world.phase = PHASE_INTRO;
    hold_keys({DIK_SPACE});
    run_frame();
    EXPECT_EQ(world.phase, PHASE_PLAYING);
    EXPECT_EQ(world.frame_parity, 1);
    EXPECT_EQ(world.astronaut.air, 599);
}

TEST(Frame, LevelClearWaitsForTheGoalsAndALostShipStillEndsTheGame)
{
    won_level();
    for (int k = 0; k < 40; ++k) run_frame();
    EXPECT_EQ(world.end_counter, 40);
    world.asteroids_left = 1;  // as if an asteroid were still exploding
    for (int k = 0; k < 5; ++k) run_frame();
    EXPECT_EQ(world.end_counter, 40);
    world.asteroids_left = 0;
    for (int k = 0; k < 10; ++k) run_frame();
    ASSERT_EQ(world.end_counter, 50);

    world.ship.state = STATE_DYING;
    for (int k = 0; k < 11; ++k) run_frame();
    EXPECT_EQ(world.phase, PHASE_GAME_OVER);
    EXPECT_EQ(world.game_over_started, 1);
    EXPECT_EQ(world.end_counter, 50);
    // The next frame is the first to show and poll the game-over texts.
    const uint32_t before = rand_state;
    run_frame();
    EXPECT_NE(rand_state, before);
}

TEST(Frame, EscapeInEveryPhaseEndsAfterThatFrame)
{
    for (int phase : {PHASE_INTRO, PHASE_PLAYING, PHASE_LEVEL_CLEAR, PHASE_GAME_OVER}) {
        SCOPED_TRACE(phase);
        won_level();
        world.phase = phase;
        world.intro_timer = 100;
        world.intro_scroll_y = 480;
        world.end_counter = 90;
        if (phase == PHASE_GAME_OVER) {
            world.ship.state = STATE_GONE;
            world.game_over_started = 1;
        }
        hold_keys({DIK_ESCAPE});
        const int star_tick = world.star.tick;
        EXPECT_EQ(run_frame(), 1);
        EXPECT_EQ(world.quit_requested, 1);
        EXPECT_EQ(world.star.tick, star_tick + 1) << "the last frame still ran";
        EXPECT_EQ(platform_poll_event(), PLATFORM_EVENT_QUIT);
        const uint32_t rand_before = rand_state;
        EXPECT_EQ(run_frame(), 0);
        EXPECT_EQ(world.star.tick, star_tick + 1);
        EXPECT_EQ(rand_state, rand_before);
    }
}

TEST(Frame, FrameIsPacedToThirtyMillisecondsOfTheClock)
{
    won_level();
    world.asteroids_left = 1;
    const uint32_t t0 = platform_ticks();
    run_frame();
    EXPECT_EQ(platform_ticks() - t0, 30u);
}

TEST(Level, LevelsGrowToThirtyAsteroidsWithinTheirRanges)
{
    fresh_world();
    reset_level(NEW_GAME);
    EXPECT_EQ(world.asteroids[0].mass, 184.0f) << "no trace shows an asteroid's mass";
    world.score = 770;
    for (int level = 2; level <= 31; ++level) {
        reset_level(NEXT_LEVEL);
        for (const Asteroid& a : world.asteroids) {
            if (a.state == STATE_GONE) continue;
            EXPECT_TRUE(a.vy >= -1.0f && a.vy <= 2.0f && a.vx >= 3.0f) << a.vx << "," << a.vy;
            EXPECT_TRUE(a.delay >= 3 && a.delay <= 5 && a.frame >= 0 && a.frame <= 15);
        }
        EXPECT_LT(world.astronaut.x, 320.0f);
    }
    EXPECT_EQ(world.level, 31);
    EXPECT_EQ(world.asteroid_count, 30);
    EXPECT_EQ(world.astronaut.air, 300 * 31 + 300);
    EXPECT_EQ(world.score, 770);

    // A new game starts over from any state.
    world.phase = PHASE_GAME_OVER;
    world.end_counter = world.game_over_started = world.frame_parity = 1;
    reset_level(NEW_GAME);
    EXPECT_EQ(world.level, 1);
    EXPECT_EQ(world.asteroid_count, 3);
    EXPECT_EQ(world.score, 0);
    EXPECT_EQ(world.phase, PHASE_PLAYING);
    EXPECT_EQ(world.end_counter + world.game_over_started + world.frame_parity, 0);
}
