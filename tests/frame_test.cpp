// The frame sequence: phases, the level-clear delay, game over, ESC.
#include "game_fixture.h"
#include "platform/headless.h"

namespace {

void start_like_the_program()
{
    fresh_world();
    headless_reset();
    reset_level(0);
    world.intro_timer = 1350;
    world.intro_scroll_y = 480;
    world.phase = PHASE_INTRO;
}

// A level whose goals already hold: no asteroids, astronaut gone, ship safe.
void won_level()
{
    fresh_world();
    headless_reset();
    reset_level(0);
    clear_asteroids();
    world.astronaut.state = STATE_GONE;
    world.astronaut.air = 123;
}

}  // namespace

TEST(Frame, IntroLasts1351FramesWithNoKey)
{
    start_like_the_program();
    for (int k = 1; k <= 1350; ++k) {
        ASSERT_EQ(run_frame(), 1);
        ASSERT_EQ(world.phase, PHASE_INTRO) << k;
        ASSERT_EQ(world.intro_scroll_y, k < 430 ? 480 - k : 50);
        ASSERT_EQ(world.frame_parity, 0);
    }
    const float asteroid_x = world.asteroids[0].x;
    run_frame();
    EXPECT_EQ(world.intro_timer, -1);
    EXPECT_EQ(world.phase, PHASE_PLAYING);
    // The same frame went on to play.
    EXPECT_EQ(world.frame_parity, 1);
    EXPECT_NE(world.asteroids[0].x, asteroid_x);
}

TEST(Frame, ReturnOrSpaceLeavesTheIntroInTheFirstFrame)
{
    for (int key : {DIK_RETURN, DIK_SPACE}) {
        start_like_the_program();
        hold_keys({key});
        run_frame();
        EXPECT_EQ(world.phase, PHASE_PLAYING);
        EXPECT_EQ(world.intro_timer, 1349);
        EXPECT_EQ(world.frame_parity, 1);
        EXPECT_EQ(world.astronaut.air, 599);
    }
}

TEST(Frame, LevelClearScreenComesOnThe91stFrameAndReturnStartsTheNext)
{
    won_level();
    for (int k = 1; k <= 90; ++k) {
        run_frame();
        ASSERT_EQ(world.end_counter, k);
        ASSERT_EQ(world.phase, PHASE_PLAYING);
    }
    const int parity = world.frame_parity;
    const float ship_x = world.ship.x;
    run_frame();
    EXPECT_EQ(world.phase, PHASE_LEVEL_CLEAR);
    EXPECT_EQ(world.frame_parity, parity);  // a level-clear frame does not flip it
    EXPECT_EQ(world.ship.x, ship_x);        // bodies are frozen
    run_frame();
    EXPECT_EQ(world.phase, PHASE_LEVEL_CLEAR);
    EXPECT_EQ(world.end_counter, 90);

    hold_keys({DIK_RETURN});
    run_frame();
    EXPECT_EQ(world.phase, PHASE_PLAYING);
    EXPECT_EQ(world.level, 2);
    EXPECT_EQ(world.asteroid_count, 4);
    EXPECT_EQ(world.end_counter, 0);
    EXPECT_EQ(world.frame_parity, 0);
}

TEST(Frame, LevelClearCountPausesWhileTheGoalsDoNotHold)
{
    won_level();
    for (int k = 0; k < 40; ++k) run_frame();
    EXPECT_EQ(world.end_counter, 40);
    world.asteroids_left = 1;  // as if an asteroid were still exploding
    for (int k = 0; k < 5; ++k) run_frame();
    EXPECT_EQ(world.end_counter, 40);
    world.asteroids_left = 0;
    run_frame();
    EXPECT_EQ(world.end_counter, 41);
}

TEST(Frame, GameOverRestartWithReturnHeld)
{
    won_level();
    world.asteroids_left = 1;  // keep the level from clearing
    world.ship.state = STATE_DYING;
    for (int k = 0; k < 10; ++k) run_frame();
    EXPECT_EQ(world.phase, PHASE_PLAYING);
    run_frame();
    EXPECT_EQ(world.phase, PHASE_GAME_OVER);
    EXPECT_EQ(world.ship.state, STATE_GONE);
    EXPECT_EQ(world.game_over_started, 1);  // the sound starts on this frame

    // The first game-over frame had no text; the second polls RETURN.
    hold_keys({DIK_RETURN});
    run_frame();
    EXPECT_EQ(world.phase, PHASE_PLAYING);
    EXPECT_EQ(world.level, 1);
    EXPECT_EQ(world.score, 0);
    EXPECT_EQ(world.frame_parity, 1);
}

TEST(Frame, GameOverFlickerDrawsThreeNumbersAFrame)
{
    won_level();
    world.asteroids_left = 1;
    world.ship.state = STATE_GONE;
    world.ship.explosion_frame = 10;
    world.phase = PHASE_GAME_OVER;
    world.game_over_started = 1;
    world.astronaut.air = 500;
    world.astronaut.state = STATE_GONE;
    const uint32_t before = rand_state;
    run_frame();
    uint32_t after = before;
    for (int i = 0; i < 3; ++i) after = after * 214013u + 2531011u;
    EXPECT_EQ(rand_state, after);
}

TEST(Frame, ShipLostDuringTheLevelClearDelayStillStartsGameOver)
{
    won_level();
    for (int k = 0; k < 50; ++k) run_frame();
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
        won_level();
        world.phase = phase;
        if (phase == PHASE_INTRO) {
            world.intro_timer = 100;
            world.intro_scroll_y = 480;
        }
        if (phase == PHASE_LEVEL_CLEAR) world.end_counter = 90;
        if (phase == PHASE_GAME_OVER) {
            world.ship.state = STATE_GONE;
            world.game_over_started = 1;
        }
        hold_keys({DIK_ESCAPE});
        const int star_tick = world.star.tick;
        EXPECT_EQ(run_frame(), 1);
        EXPECT_EQ(world.quit_requested, 1);
        EXPECT_EQ(world.star.tick, star_tick + 1) << phase;  // the last frame still ran
        EXPECT_EQ(platform_poll_event(), PLATFORM_EVENT_QUIT);

        const World snapshot = world;
        const uint32_t rand_before = rand_state;
        EXPECT_EQ(run_frame(), 0);
        EXPECT_EQ(world.star.tick, snapshot.star.tick);
        EXPECT_EQ(world.intro_timer, snapshot.intro_timer);
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
