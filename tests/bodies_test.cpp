// The rules of the asteroids, the ship, the shots and the astronaut.
#include "game_fixture.h"

namespace {

// A level with nothing in it but what a test puts there.
void empty_level()
{
    fresh_world();
    reset_level(0);
    clear_asteroids();
    world.astronaut.state = STATE_GONE;
    world.astronaut.air = 300;
    world.ship.x = 100;
    world.ship.y = 400;
}

Asteroid& place_asteroid(int slot, float x, float y)
{
    Asteroid& a = world.asteroids[slot];
    a.state = STATE_ACTIVE;
    a.x = x;
    a.y = y;
    a.vx = a.vy = 0;
    a.explosion_frame = 0;
    world.asteroids_left += 1;
    return a;
}

Shot& place_shot(int slot, float x, float y)
{
    Shot& s = world.shots[slot];
    s.state = STATE_ACTIVE;
    s.x = x;
    s.y = y;
    s.vx = s.vy = 0;
    s.life = 30;
    world.live_shots += 1;
    return s;
}

// Gravity moves an asteroid before the tests; put the star far away from
// the test's region so the pull is tiny, and check positions after the step.
void weak_star()
{
    world.star.mass = 0.0f;
}

}  // namespace

TEST(AsteroidContact, ShipThresholdsAreStrictOnBothAxes)
{
    for (int dx : {23, 24, -23, -24}) {
        empty_level();
        weak_star();
        place_asteroid(0, 200 - 13, 200 - 13);  // reference point (200, 200)
        world.ship.x = static_cast<float>(200 + dx - 11);
        world.ship.y = 200 - 9;
        asteroids_step();
        EXPECT_EQ(world.ship.state, std::abs(dx) < 24 ? STATE_DYING : STATE_ACTIVE) << dx;
        EXPECT_EQ(world.asteroids[0].state, STATE_ACTIVE);
    }
    for (int dy : {21, 22, -21, -22}) {
        empty_level();
        weak_star();
        place_asteroid(0, 200 - 13, 200 - 13);
        world.ship.x = 200 - 11;
        world.ship.y = static_cast<float>(200 + dy - 9);
        asteroids_step();
        EXPECT_EQ(world.ship.state, std::abs(dy) < 22 ? STATE_DYING : STATE_ACTIVE) << dy;
    }
}

TEST(AsteroidContact, ShotThresholdsAndTruncationTowardZero)
{
    for (int d : {14, 15, -14, -15}) {
        for (int axis = 0; axis < 2; ++axis) {
            empty_level();
            weak_star();
            place_asteroid(0, 200 - 13, 200 - 13);
            place_shot(0, static_cast<float>(200 - 8 + (axis == 0 ? d : 0)),
                       static_cast<float>(200 - 8 + (axis == 1 ? d : 0)));
            asteroids_step();
            const bool hit = std::abs(d) < 15;
            EXPECT_EQ(world.asteroids[0].state, hit ? STATE_DYING : STATE_ACTIVE) << d << " axis " << axis;
            EXPECT_EQ(world.shots[0].state, hit ? STATE_GONE : STATE_ACTIVE);
            EXPECT_EQ(world.live_shots, hit ? 0 : 1);
        }
    }
    // x -13.6 and -12.4 both truncate to reference 0: a shot at reference 14
    // hits both, one at reference -15 neither.
    for (float x : {-13.6f, -12.4f}) {
        empty_level();
        weak_star();
        place_asteroid(0, x, 200 - 13);
        place_shot(0, 14 - 8, 200 - 8);
        asteroids_step();
        EXPECT_EQ(world.asteroids[0].state, STATE_DYING) << x;
        EXPECT_EQ(trunc_ref(world.asteroids[0].x, 13), 0);
    }
}

TEST(AsteroidHits, TwoShotsOnOneAsteroidScoreOnceElevenFramesLater)
{
    empty_level();
    weak_star();
    place_asteroid(0, 187, 187);
    place_shot(0, 192, 192);
    place_shot(3, 194, 190);
    asteroids_step();
    EXPECT_EQ(world.live_shots, 0);
    EXPECT_EQ(world.shots[0].state, STATE_GONE);
    EXPECT_EQ(world.shots[3].state, STATE_GONE);
    EXPECT_EQ(world.asteroids[0].state, STATE_DYING);
    for (int f = 1; f <= 10; ++f) {
        asteroids_step();
        EXPECT_EQ(world.asteroids[0].explosion_frame, f);
        EXPECT_EQ(world.score, 0);
    }
    asteroids_step();
    EXPECT_EQ(world.score, 10);
    EXPECT_EQ(world.asteroids_left, 0);
    EXPECT_EQ(world.asteroids[0].state, STATE_GONE);
    // A dying asteroid never moved.
    EXPECT_EQ(world.asteroids[0].x, 187.0f);
}

TEST(AsteroidHits, OneShotOverTwoAsteroidsTakesTheLowerSlot)
{
    empty_level();
    weak_star();
    place_asteroid(4, 187, 187);
    place_asteroid(2, 189, 189);
    place_shot(0, 192, 192);
    asteroids_step();
    EXPECT_EQ(world.asteroids[2].state, STATE_DYING);
    EXPECT_EQ(world.asteroids[4].state, STATE_ACTIVE);
    EXPECT_EQ(world.live_shots, 0);
}

TEST(AsteroidHits, AsteroidTouchingShipAndShotKillsBothAndAnimatesWrap)
{
    empty_level();
    weak_star();
    Asteroid& a = place_asteroid(0, 187, 187);
    a.delay = 4;
    a.frame = 15;
    a.tick = 4;
    world.ship.x = 200 - 11;
    world.ship.y = 200 - 9;
    place_shot(1, 192, 192);
    asteroids_step();
    EXPECT_EQ(world.ship.state, STATE_DYING);
    EXPECT_EQ(a.state, STATE_DYING);
    // Hit this frame, it still animated.
    EXPECT_EQ(a.frame, 0);
    EXPECT_EQ(a.tick, 0);
}

TEST(AsteroidContact, GoneShipIsSetDyingAgainAndReturnsToGone)
{
    empty_level();
    weak_star();
    place_asteroid(0, 187, 187);
    world.ship.x = 200 - 11;
    world.ship.y = 200 - 9;
    world.ship.state = STATE_GONE;
    world.ship.explosion_frame = 10;
    world.phase = PHASE_GAME_OVER;
    asteroids_step();
    EXPECT_EQ(world.ship.state, STATE_DYING);
    ship_step();
    EXPECT_EQ(world.ship.state, STATE_GONE);
    EXPECT_EQ(world.phase, PHASE_GAME_OVER);
}

TEST(Ship, SteeringOnInputFramesOnly)
{
    empty_level();
    world.frame_parity = 1;
    hold_keys({DIK_LEFT, DIK_RIGHT, DIK_UP, DIK_DOWN});
    ship_step();
    EXPECT_EQ(world.ship.heading, 0);
    EXPECT_EQ(world.ship.thrust, THRUST_BRAKE);

    hold_keys({DIK_LEFT});
    ship_step();
    EXPECT_EQ(world.ship.heading, 15);
    hold_keys({DIK_RIGHT});
    ship_step();
    EXPECT_EQ(world.ship.heading, 0);

    // Keys are not read on the frame between; thrust keeps its value.
    world.frame_parity = 1;
    hold_keys({DIK_UP});
    ship_step();
    EXPECT_EQ(world.ship.thrust, THRUST_FORWARD);
    world.frame_parity = 0;
    hold_keys({DIK_RIGHT});
    ship_step();
    EXPECT_EQ(world.ship.heading, 0);
    EXPECT_EQ(world.ship.thrust, THRUST_FORWARD);
}

TEST(Ship, ThrustAndBrakeBeforeThePull)
{
    empty_level();
    world.star.mass = 0.0f;
    world.frame_parity = 1;
    hold_keys({DIK_UP});
    ship_step();
    EXPECT_EQ(world.ship.vx, 0.5f);
    EXPECT_EQ(world.ship.vy, 0.0f);
    EXPECT_EQ(world.ship.x, 100.5f);

    // Braking at 0.1 leaves 0.15 the other way.
    world.ship.vx = 0.1f;
    world.ship.vy = 0.0f;
    hold_keys({DIK_DOWN});
    ship_step();
    EXPECT_NEAR(world.ship.vx, -0.15, 1e-7);

    // At rest the brake leaves the ship at rest.
    world.ship.vx = world.ship.vy = 0.0f;
    ship_step();
    EXPECT_EQ(world.ship.vx, 0.0f);
    EXPECT_EQ(world.ship.vy, 0.0f);
}

TEST(Ship, StarContactAndRescueInTheSameFrame)
{
    empty_level();
    world.star.mass = 0.0f;
    // Reference point 24 right of the star box centre (319, 236): touches.
    world.ship.x = 319 + 24 - 11;
    world.ship.y = 236 - 9;
    world.astronaut.state = STATE_ACTIVE;
    world.astronaut.x = world.ship.x + 11 - 9 + 19;
    world.astronaut.y = world.ship.y + 9 - 10 - 18;
    world.asteroid_count = 7;
    world.asteroids_left = 3;
    ship_step();
    EXPECT_EQ(world.ship.state, STATE_DYING);
    EXPECT_EQ(world.astronaut.state, STATE_GONE);
    EXPECT_EQ(world.score, 70);  // 10 x the level's asteroids, not those left

    empty_level();
    world.star.mass = 0.0f;
    world.ship.x = 319 + 25 - 11;
    world.ship.y = 236 - 9;
    world.astronaut.state = STATE_ACTIVE;
    world.astronaut.x = world.ship.x + 11 - 9 + 20;
    world.astronaut.y = world.ship.y;
    ship_step();
    EXPECT_EQ(world.ship.state, STATE_ACTIVE);
    EXPECT_EQ(world.astronaut.state, STATE_ACTIVE);
    world.ship.x = 319 - 11;
    world.ship.y = 236 + 17 - 9;
    ship_step();
    EXPECT_EQ(world.ship.state, STATE_ACTIVE);
    world.ship.y = 236 + 16 - 9;
    ship_step();
    EXPECT_EQ(world.ship.state, STATE_DYING);
}

TEST(Ship, ExplosionShowsTenFramesThenEndsTheGame)
{
    empty_level();
    world.ship.state = STATE_DYING;
    for (int f = 1; f <= 10; ++f) {
        ship_step();
        EXPECT_EQ(world.ship.explosion_frame, f);
        EXPECT_EQ(world.phase, PHASE_PLAYING);
    }
    ship_step();
    EXPECT_EQ(world.ship.state, STATE_GONE);
    EXPECT_EQ(world.phase, PHASE_GAME_OVER);
}

TEST(Shots, FiringFromRestAndTheTenShotLimit)
{
    empty_level();
    world.star.mass = 0.0f;
    world.frame_parity = 1;
    hold_keys({DIK_SPACE});
    ship_step();
    EXPECT_EQ(world.live_shots, 1);
    const Shot& s = world.shots[0];
    EXPECT_EQ(s.state, STATE_ACTIVE);
    EXPECT_EQ(s.vx, 5.0f);
    EXPECT_EQ(s.vy, 0.0f);
    EXPECT_EQ(s.x, 111.0f);
    EXPECT_EQ(s.y, 409.0f);
    EXPECT_EQ(s.life, 60);

    world.frame_parity = 0;
    ship_step();
    EXPECT_EQ(world.live_shots, 1);
    world.frame_parity = 1;
    for (int i = 0; i < 12; ++i) ship_step();
    EXPECT_EQ(world.live_shots, 10);
    for (const Shot& shot : world.shots) EXPECT_EQ(shot.state, STATE_ACTIVE);
}

TEST(Shots, FastShipShotIsCappedInItsFirstStep)
{
    empty_level();
    world.star.mass = 0.0f;
    world.ship.vx = 7.0f;
    world.frame_parity = 1;
    hold_keys({DIK_SPACE});
    fire_shot();
    EXPECT_EQ(world.shots[0].vx, 8.5f);
    shots_step();
    EXPECT_EQ(world.shots[0].vx, 7.0f);
}

TEST(Shots, LifeRunsSixtyStepsAndTheLastStillFlies)
{
    empty_level();
    world.star.mass = 0.0f;
    Shot& s = place_shot(2, 100, 100);
    s.life = 60;
    s.vx = 1;
    for (int i = 0; i < 60; ++i) shots_step();
    EXPECT_EQ(s.state, STATE_ACTIVE);
    EXPECT_EQ(s.life, 0);
    shots_step();
    EXPECT_EQ(s.state, STATE_GONE);
    EXPECT_EQ(world.live_shots, 0);
    EXPECT_EQ(s.x, 161.0f);
    // Animation: 0, 1, 2 every six steps.
    EXPECT_EQ(s.frame, (61 / 6) % 3);
}

TEST(Shots, StrikingTheAstronautCostsOnceAndTheShotFliesOn)
{
    empty_level();
    world.star.mass = 0.0f;
    world.asteroid_count = 5;
    world.astronaut.state = STATE_ACTIVE;
    world.astronaut.x = 300;
    world.astronaut.y = 100;
    // Reference points: shot (x + 2, y + 2), astronaut (309, 110).
    place_shot(0, 309 + 10 - 2, 110 + 11 - 2);
    place_shot(1, 309 - 2, 110 - 2);
    shots_step();
    EXPECT_EQ(world.astronaut.state, STATE_DYING);
    EXPECT_EQ(world.score, -25);
    EXPECT_EQ(world.shots[0].state, STATE_ACTIVE);
    EXPECT_EQ(world.shots[1].state, STATE_ACTIVE);

    empty_level();
    world.star.mass = 0.0f;
    world.astronaut.state = STATE_ACTIVE;
    world.astronaut.x = 300;
    world.astronaut.y = 100;
    place_shot(0, 309 + 11 - 2, 110 - 2);
    place_shot(1, 309 - 2, 110 + 12 - 2);
    shots_step();
    EXPECT_EQ(world.astronaut.state, STATE_ACTIVE);
}

TEST(Astronaut, AirRunsOutThenDeathPicturesStart)
{
    empty_level();
    world.star.mass = 0.0f;
    world.astronaut.state = STATE_ACTIVE;
    world.astronaut.air = 1;
    astronaut_step();
    EXPECT_EQ(world.astronaut.air, 0);
    EXPECT_EQ(world.astronaut.state, STATE_ACTIVE);
    const float x = world.astronaut.x;
    astronaut_step();
    EXPECT_EQ(world.astronaut.state, STATE_DYING);
    EXPECT_GT(world.astronaut.x, x);  // still drifted this once
    EXPECT_EQ(world.astronaut.explosion_frame, 0);
    for (int f = 1; f <= 10; ++f) {
        astronaut_step();
        EXPECT_EQ(world.astronaut.explosion_frame, f);
    }
    astronaut_step();
    EXPECT_EQ(world.astronaut.state, STATE_GONE);
}

TEST(Astronaut, StatusLineFollowsAirThenState)
{
    // The line's random colour draws three numbers: watch the generator.
    empty_level();
    world.astronaut.state = STATE_ACTIVE;
    world.astronaut.air = 150;
    uint32_t before = rand_state;
    draw_astronaut_status();
    EXPECT_EQ(rand_state, before);
    world.astronaut.air = 149;
    draw_astronaut_status();
    uint32_t three = before;
    for (int i = 0; i < 3; ++i) three = three * 214013u + 2531011u;
    EXPECT_EQ(rand_state, three);
    // Failed and rescued lines are steady.
    world.astronaut.air = 0;
    before = rand_state;
    draw_astronaut_status();
    world.astronaut.air = 100;
    world.astronaut.state = STATE_GONE;
    draw_astronaut_status();
    EXPECT_EQ(rand_state, before);
}

TEST(Astronaut, ShotDeathEmptiesTheAir)
{
    empty_level();
    world.astronaut.state = STATE_DYING;
    world.astronaut.air = 400;
    astronaut_step();
    EXPECT_EQ(world.astronaut.air, 0);
    EXPECT_EQ(world.astronaut.explosion_frame, 1);
}
