// The rules of the bodies where a golden trace cannot show them: every
// contact threshold on both sides, truncation toward zero, and the few
// readings no golden run reaches (the last breath of air, the status line).
#include <tuple>

#include "game_fixture.h"

namespace {

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

}  // namespace

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

// The failed and rescued lines draw no random colour (the low-air line's
// draws show in the rescuer's golden run).
TEST(Astronaut, StatusLineDrawsNothingOnceFailedOrRescued)
{
    empty_level();
    place_astronaut(100, 100);
    const uint32_t before = rand_state;
    world.astronaut.air = 0;
    draw_astronaut_status(world, out);
    world.astronaut.air = 100;
    world.astronaut.state = STATE_GONE;
    draw_astronaut_status(world, out);
    EXPECT_EQ(rand_state, before);
}
