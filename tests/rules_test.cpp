// The rules where a golden trace cannot show them: the frame sequence, the
// levels up to thirty, every contact threshold on both sides, truncation
// toward zero, the ship's pull near and on the star's centre, every body's
// wrap bounds, the astronaut's last breath; and a long game on seeded random
// keys with the World and the frame's output checked after every frame (CI
// plays 100,000 frames, KESTRAVA_SOAK_FRAMES=1000000 the long run; that a
// frame allocates nothing: FrameAllocations.NoneInAnyPhase).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>

#include "base/screen.h"
#include "game_fixture.h"
#include "input/keyscript.h"

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

// A level with nothing in it but what a test puts there, and a star too
// light to pull.
void empty_level()
{
    new_game();
    clear_asteroids();
    world.astronaut.state = STATE_GONE;
    world.astronaut.air = 300;
    world.ship.x = 100, world.ship.y = 400;
    world.star.mass = 0.0f;
}

Asteroid& place_asteroid(int slot, float x, float y)
{
    Asteroid& a = world.asteroids[slot];
    a.state = STATE_ACTIVE;
    a.x = x, a.y = y, a.vx = a.vy = 0;
    world.asteroids_left += 1;
    return a;
}

Shot& place_shot(int slot, float x, float y)
{
    Shot& s = world.shots[slot];
    s.state = STATE_ACTIVE;
    s.x = x, s.y = y, s.vx = s.vy = 0, s.life = 30;
    world.live_shots += 1;
    return s;
}

void place_astronaut(float x, float y)
{
    world.astronaut.state = STATE_ACTIVE;
    world.astronaut.x = x, world.astronaut.y = y;
}

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

long soak_frames()
{
    const char* text = std::getenv("KESTRAVA_SOAK_FRAMES");
    const long n = text ? std::atol(text) : 0;
    return n > 0 ? n : 100000;
}

bool is_state(int32_t s) { return s == STATE_ACTIVE || s == STATE_DYING || s == STATE_GONE; }

// A body's state and explosion frame in range, its motion finite; and its picture.
bool moving_ok(const auto& b)
{
    return is_state(b.state) && b.explosion_frame >= 0 && b.explosion_frame <= EXPLOSION_FRAMES &&
           std::isfinite(b.x) && std::isfinite(b.y) && std::isfinite(b.vx) && std::isfinite(b.vy);
}
bool body_ok(const auto& b, int pictures) { return moving_ok(b) && b.frame >= 0 && b.frame < pictures; }

// The first broken invariant, or "".
std::string broken_invariant()
{
    const World& w = world;
    if (w.phase != PHASE_PLAYING && w.phase != PHASE_LEVEL_CLEAR && w.phase != PHASE_GAME_OVER &&
        w.phase != PHASE_INTRO)
        return "phase " + std::to_string(w.phase);
    if (!(0 <= w.asteroids_left && w.asteroids_left <= w.asteroid_count && w.asteroid_count <= ASTEROID_SLOTS))
        return "asteroids_left " + std::to_string(w.asteroids_left) + " of " + std::to_string(w.asteroid_count);
    int present = 0;
    for (int i = 0; i < ASTEROID_SLOTS; ++i) {
        const Asteroid& a = w.asteroids[i];
        if (!body_ok(a, ASTEROID_SPRITE.frames)) return "asteroid " + std::to_string(i);
        if (a.state != STATE_GONE && i >= w.asteroid_count) return "asteroid " + std::to_string(i) + " beyond the level";
        present += a.state != STATE_GONE;
    }
    if (present != w.asteroids_left) return "asteroids_left " + std::to_string(w.asteroids_left) + " but " +
                                            std::to_string(present) + " present";
    int active_shots = 0;
    for (int i = 0; i < SHOT_SLOTS; ++i) {
        const Shot& s = w.shots[i];
        if (!body_ok(s, SHOT_SPRITE.frames) || s.explosion_frame != 0 || s.life < 0 || s.life > 60)
            return "shot " + std::to_string(i);
        active_shots += s.state == STATE_ACTIVE;
    }
    if (w.live_shots != active_shots) return "live_shots " + std::to_string(w.live_shots) + " but " +
                                             std::to_string(active_shots) + " active";
    if (w.ship.heading < 0 || w.ship.heading >= HEADINGS || !moving_ok(w.ship)) return "ship";
    if (!body_ok(w.astronaut, ASTRONAUT_SPRITE.frames)) return "astronaut";
    if (w.star.frame < 0 || w.star.frame >= STAR_SPRITE.frames) return "star frame " + std::to_string(w.star.frame);
    if (out.draw_count >= FRAME_DRAWS || out.cue_count >= FRAME_CUES) return "the frame's output at its bound";
    if (!w.quit_requested && (out.draw_count == 0 || out.draws[out.draw_count - 1].kind != DRAW_PRESENT))
        return "a frame that shows nothing at its end";
    return "";
}

// Fire most of the time, turn and thrust now and then, RETURN about every
// eighth frame; never ESC.
uint8_t random_keys()
{
    static uint64_t seed = 0x5EEDF00Dull;
    auto one_in = [](uint32_t n) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(seed >> 33) % n == 0;
    };
    uint8_t mask = 0;
    if (one_in(8)) mask |= SCRIPT_RETURN;
    if (!one_in(4)) mask |= SCRIPT_SPACE;
    if (one_in(6)) mask |= SCRIPT_UP;
    if (one_in(10)) mask |= SCRIPT_DOWN;
    if (one_in(4)) mask |= one_in(2) ? SCRIPT_LEFT : SCRIPT_RIGHT;
    return mask;
}

TEST(Soak, InvariantsHoldEveryFrame)
{
    const long frames = soak_frames();
    new_game();
    start_intro(world);
    long games = 1, levels_cleared = 0, rescues = 0;
    int32_t last_phase = world.phase;
    for (long f = 1; f <= frames; ++f) {
        const int32_t astronaut_before = world.astronaut.state;
        keyscript_key_state(random_keys(), world.key_state.data());
        frame();
        ASSERT_EQ(broken_invariant(), "") << "after frame " << f;
        rescues += astronaut_before == STATE_ACTIVE && world.astronaut.state == STATE_GONE;
        games += last_phase == PHASE_GAME_OVER && world.phase == PHASE_PLAYING;
        levels_cleared += last_phase == PHASE_LEVEL_CLEAR && world.phase == PHASE_PLAYING;
        last_phase = world.phase;
    }
    std::printf("soak: %ld frames, %ld games, %ld levels cleared, %ld rescues\n", frames, games, levels_cleared, rescues);
    // The game must really have been played through its phases.
    EXPECT_GT(games, frames / 5000);
    EXPECT_GT(levels_cleared, 0);
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
    for (int k = 0; k < 50; ++k) frame();
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
    world.score = 770;
    // The draws' ranges show in every golden run, the cap at thirty asteroids in none.
    for (int level = 2; level <= 31; ++level) reset_level(world, NEXT_LEVEL, out);
    EXPECT_EQ(std::tuple(world.level, world.asteroid_count, world.astronaut.air, world.score),
              std::tuple(31, 30, 300 * 31 + 300, 770));
}

// Reference points: asteroid (x + 13, y + 13), ship (x + 11, y + 9), shot
// (x + 8, y + 8) against an asteroid; the distances are strict. (A shot's
// limit of 15 either way: every golden run.)
TEST(Contact, AsteroidThresholdsOnBothSidesOfEachAxis)
{
    const std::tuple<int, int, bool> cases[] = {  // the ship at dx, dy from the asteroid; hit
        {23, 0, true}, {24, 0, false}, {-23, 0, true}, {-24, 0, false},
        {0, 21, true}, {0, 22, false}, {0, -21, true}, {0, -22, false},
    };
    for (const auto& [dx, dy, hit] : cases) {
        empty_level();
        place_asteroid(0, 200 - 13, 200 - 13);
        world.ship.x = float(200 + dx - 11), world.ship.y = float(200 + dy - 9);
        asteroids_step(world, out);
        EXPECT_EQ(world.ship.state, hit ? STATE_DYING : STATE_ACTIVE) << dx << "," << dy;
    }
    // x -13.6 and -12.4 both truncate to reference 0: a shot at reference
    // 14 hits both.
    for (float x : {-13.6f, -12.4f}) {
        empty_level();
        place_asteroid(0, x, 200 - 13);
        place_shot(0, 14 - 8, 200 - 8);
        asteroids_step(world, out);
        EXPECT_EQ(world.asteroids[0].state, STATE_DYING) << x;
    }
}

TEST(Contact, OneShotTakesTheLowerSlotAndAGoneShipDiesAgain)
{
    empty_level();
    place_asteroid(4, 187, 187);
    place_asteroid(2, 189, 189);
    place_shot(0, 192, 192);
    asteroids_step(world, out);
    EXPECT_EQ(std::tuple(world.asteroids[2].state, world.asteroids[4].state), std::tuple(STATE_DYING, STATE_ACTIVE));

    // A ship already gone is set dying again and returns to gone at once.
    empty_level();
    place_asteroid(0, 187, 187);
    world.ship.x = 200 - 11, world.ship.y = 200 - 9;
    world.ship.state = STATE_GONE, world.ship.explosion_frame = 10;
    world.phase = PHASE_GAME_OVER;
    asteroids_step(world, out);
    EXPECT_EQ(world.ship.state, STATE_DYING);
    ship_step(world, out);
    EXPECT_EQ(world.ship.state, STATE_GONE);
}

// The star's box centre is (319, 236): the ship touches it within 25 across
// and 17 down; the astronaut is rescued within 19 across and 18 down, in the same frame.
TEST(Contact, StarAndRescueThresholds)
{
    empty_level();
    world.ship.x = 319 + 24 - 11, world.ship.y = 236 - 9;
    place_astronaut(world.ship.x + 11 - 9 + 19, world.ship.y + 9 - 10 - 18);
    world.asteroid_count = 7, world.asteroids_left = 3;
    ship_step(world, out);
    EXPECT_EQ(std::tuple(world.ship.state, world.astronaut.state, world.score), std::tuple(STATE_DYING, STATE_GONE, 70))
        << "10 x the level's asteroids, not those left";

    empty_level();
    world.ship.x = 319 + 25 - 11, world.ship.y = 236 - 9;
    for (const auto& [dx, dy] : {std::pair(20, 0), std::pair(0, 19)}) {
        place_astronaut(world.ship.x + 11 - 9 + dx, world.ship.y + 9 - 10 + dy);
        ship_step(world, out);
        EXPECT_EQ(std::tuple(world.ship.state, world.astronaut.state), std::tuple(STATE_ACTIVE, STATE_ACTIVE)) << dy;
    }
    for (int dy : {17, 16}) {
        world.ship.x = 319 - 11, world.ship.y = float(236 + dy - 9);
        ship_step(world, out);
        EXPECT_EQ(world.ship.state, dy == 17 ? STATE_ACTIVE : STATE_DYING);
    }
}

// Shot reference (x + 2, y + 2) against the astronaut's (x + 9, y + 10):
// within 10 across and 11 down; it costs 5 x the level's asteroids once.
TEST(Contact, ShotsStrikingTheAstronaut)
{
    empty_level();
    world.asteroid_count = 5;
    place_astronaut(300, 100);
    place_shot(0, 309 + 10 - 2, 110 + 11 - 2);
    place_shot(1, 309 - 2, 110 - 2);
    shots_step(world, out);
    EXPECT_EQ(std::tuple(world.astronaut.state, world.score), std::tuple(STATE_DYING, -25)) << "it costs once";

    empty_level();
    place_astronaut(300, 100);
    place_shot(0, 309 + 11 - 2, 110 - 2);
    place_shot(1, 309 - 2, 110 + 12 - 2);
    shots_step(world, out);
    EXPECT_EQ(world.astronaut.state, STATE_ACTIVE);
}

// The last step of air leaves none, yet the astronaut lives that frame.
TEST(Astronaut, AirRunsOutAFrameBeforeItDies)
{
    empty_level();
    place_astronaut(100, 100);
    world.astronaut.air = 1;
    astronaut_step(world, out);
    EXPECT_EQ(std::tuple(world.astronaut.air, world.astronaut.state), std::tuple(0, STATE_ACTIVE));
    astronaut_step(world, out);
    EXPECT_EQ(world.astronaut.state, STATE_DYING);
}

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
