// The frame sequence and the levels where a golden trace cannot show them:
// SPACE leaving the intro, the level-clear count pausing, a ship lost in the
// delay, ESC in every phase, what each screen sounds and shows, the frame's
// pacing, the levels up to thirty.
#include "base/screen.h"
#include "game_fixture.h"

namespace {

// A level whose goals already hold: no asteroids, astronaut gone, ship safe.
void won_level()
{
    new_game();
    clear_asteroids();
    world.astronaut.state = STATE_GONE;
}

// The four tracks stopped and every effect, then the one effect started.
void expect_silenced_then(int effect)
{
    EXPECT_EQ(cue_count(CUE_MUSIC_STOP), MUSIC_TRACKS);
    EXPECT_EQ(cue_count(CUE_EFFECTS_STOP_ALL), 1);
    ASSERT_GT(out.cue_count, 0);
    EXPECT_EQ(out.cues[out.cue_count - 1].kind, CUE_EFFECT_PLAY);
    EXPECT_EQ(out.cues[out.cue_count - 1].id, effect);
}

}  // namespace

// The frame that leaves the intro shows two pictures: the intro's, then the
// first of play.
TEST(Frame, SpaceLeavesTheIntroAndThatFramePlays)
{
    new_game();
    start_intro(world);
    hold_keys({DIK_SPACE});
    frame();
    EXPECT_EQ(world.phase, PHASE_PLAYING);
    EXPECT_EQ(world.frame_parity, 1);
    EXPECT_EQ(world.astronaut.air, 599);
    EXPECT_EQ(draw_count(DRAW_PRESENT), 2);
    EXPECT_EQ(out.draws[2].kind, DRAW_INTRO_TEXT);
    EXPECT_EQ(out.draws[2].y, SCREEN_HEIGHT - 1);
}

TEST(Frame, LevelClearWaitsForTheGoalsAndALostShipStillEndsTheGame)
{
    won_level();
    for (int k = 0; k < 40; ++k) frame();
    EXPECT_EQ(world.end_counter, 40);
    world.asteroids_left = 1;  // as if an asteroid were still exploding
    for (int k = 0; k < 5; ++k) frame();
    EXPECT_EQ(world.end_counter, 40);
    world.asteroids_left = 0;
    for (int k = 0; k < 10; ++k) frame();
    ASSERT_EQ(world.end_counter, 50);

    world.ship.state = STATE_DYING;
    for (int k = 0; k < 11; ++k) frame();
    EXPECT_EQ(world.phase, PHASE_GAME_OVER);
    EXPECT_EQ(world.game_over_started, 1);
    EXPECT_EQ(world.end_counter, 50);
    expect_silenced_then(world.snd_gameover);
    // The next frame is the first to show and poll the game-over texts.
    const uint32_t before = rand_state;
    frame();
    EXPECT_NE(rand_state, before);
    EXPECT_EQ(out.cue_count, 0);
}

TEST(Frame, TheLevelClearScreenSilencesTheGameAndRestartsOnReturn)
{
    won_level();
    world.end_counter = 90;
    frame();
    EXPECT_EQ(world.phase, PHASE_LEVEL_CLEAR);
    expect_silenced_then(world.snd_levcomp);
    EXPECT_EQ(draw_count(DRAW_SPRITE), 1) << "the star alone";
    frame();
    EXPECT_EQ(out.cue_count, 0);
    hold_keys({DIK_RETURN});
    frame();
    EXPECT_EQ(world.level, 2);
    EXPECT_EQ(cue_count(CUE_MUSIC_PLAY), 1);
    EXPECT_EQ(draw_count(DRAW_PRESENT), 1);
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
        EXPECT_EQ(frame(), 1);
        EXPECT_TRUE(out.quit);
        EXPECT_EQ(world.quit_requested, 1);
        EXPECT_EQ(draw_count(DRAW_PRESENT), 1) << "the last frame is still shown";
        const World before = world;
        const uint32_t rand_before = rand_state;
        EXPECT_EQ(frame(), 0);
        EXPECT_EQ(out.draw_count + out.cue_count, 0);
        EXPECT_EQ(world.star.tick, before.star.tick);
        EXPECT_EQ(rand_state, rand_before);
    }
}

// The presenter closes the window on ESC's frame and paces every frame to
// the clock's 30 ms.
TEST(Frame, FrameIsPacedToThirtyMillisecondsOfTheClock)
{
    headless_reset();
    won_level();
    world.asteroids_left = 1;
    hold_keys({DIK_ESCAPE});  // no keyboard open: the keys held stand
    const uint32_t t0 = platform_ticks();
    EXPECT_EQ(shell_frame(), 1);
    EXPECT_EQ(platform_ticks() - t0, 30u);
    EXPECT_EQ(platform_poll_event(), PLATFORM_EVENT_QUIT);
    EXPECT_EQ(shell_frame(), 0);
    EXPECT_EQ(platform_ticks() - t0, 30u);
    headless_reset();
}

TEST(Level, LevelsGrowToThirtyAsteroidsWithinTheirRanges)
{
    new_game();
    EXPECT_EQ(world.asteroids[0].mass, 184.0f) << "no trace shows an asteroid's mass";
    world.score = 770;
    for (int level = 2; level <= 31; ++level) {
        reset_level(world, NEXT_LEVEL, out);
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
    reset_level(world, NEW_GAME, out);
    EXPECT_EQ(world.level, 1);
    EXPECT_EQ(world.asteroid_count, 3);
    EXPECT_EQ(world.score, 0);
    EXPECT_EQ(world.phase, PHASE_PLAYING);
    EXPECT_EQ(world.end_counter + world.game_over_started + world.frame_parity, 0);
}
