// The frame sequence and the levels where a golden trace cannot show them:
// SPACE leaving the intro, the level-clear count pausing, a ship lost in the
// delay, ESC in every phase, what each screen sounds and shows, the frame's
// pacing, the levels up to thirty.
#include <tuple>

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
    EXPECT_EQ(std::tuple(world.phase, world.frame_parity, world.astronaut.air, draw_count(DRAW_PRESENT)),
              std::tuple(PHASE_PLAYING, 1, 599, 2));
    EXPECT_EQ(std::tuple(out.draws[2].kind, out.draws[2].y), std::tuple(DRAW_INTRO_TEXT, SCREEN_HEIGHT - 1));
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
    EXPECT_EQ(std::tuple(world.phase, world.game_over_started, world.end_counter), std::tuple(PHASE_GAME_OVER, 1, 50));
    expect_silenced_then(world.snd_gameover);
    // The next frame is the first to show and poll the game-over texts.
    const uint32_t before = rand_state;
    frame();
    EXPECT_TRUE(rand_state != before && out.cue_count == 0);
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
    EXPECT_EQ(std::tuple(world.level, cue_count(CUE_MUSIC_PLAY), draw_count(DRAW_PRESENT)), std::tuple(2, 1, 1));
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
        int shown = frame();
        EXPECT_EQ(std::tuple(shown, out.quit, world.quit_requested, draw_count(DRAW_PRESENT)),
                  std::tuple(1, true, 1, 1)) << "the last frame is still shown";
        const int tick_before = world.star.tick;
        const uint32_t rand_before = rand_state;
        shown = frame();
        EXPECT_EQ(std::tuple(shown, out.draw_count + out.cue_count, world.star.tick, rand_state),
                  std::tuple(0, 0, tick_before, rand_before));
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

TEST(Level, LevelsGrowToThirtyAsteroids)
{
    new_game();
    EXPECT_EQ(world.asteroids[0].mass, 184.0f) << "no trace shows an asteroid's mass";
    world.score = 770;
    // The draws' ranges show in every golden run, the cap at thirty asteroids in none.
    for (int level = 2; level <= 31; ++level) reset_level(world, NEXT_LEVEL, out);
    EXPECT_EQ(std::tuple(world.level, world.asteroid_count, world.astronaut.air, world.score),
              std::tuple(31, 30, 300 * 31 + 300, 770));

    // A new game starts over from any state.
    world.phase = PHASE_GAME_OVER;
    world.end_counter = world.game_over_started = world.frame_parity = 1;
    reset_level(world, NEW_GAME, out);
    EXPECT_EQ(std::tuple(world.level, world.asteroid_count, world.score, world.phase,
                         world.end_counter + world.game_over_started + world.frame_parity),
              std::tuple(1, 3, 0, PHASE_PLAYING, 0));
}
