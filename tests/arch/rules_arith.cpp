// The rules' arithmetic on its own: the game's real motion, thrust, brake,
// firing and contact code, which needs nothing but itself, so that the same
// source can be compiled for 32-bit x86 and for this machine. Prints a
// hash of every body after every step; the two builds must print the same
// lines, or recordings made on one would not replay on the other.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "game/asteroids.cpp"
#include "game/astronaut.cpp"
#include "game/bodies.cpp"
#include "game/gravity.cpp"
#include "game/level.cpp"
#include "game/output.cpp"
#include "game/ship.cpp"
#include "game/shots.cpp"

static World world;
static FrameOutput out;

// The harness's own generator, apart from the game's, all in integers.
static uint64_t harness_state = 0x9E3779B97F4A7C15u;
static uint32_t next_u32()
{
    harness_state ^= harness_state << 13;
    harness_state ^= harness_state >> 7;
    harness_state ^= harness_state << 17;
    return static_cast<uint32_t>(harness_state >> 32);
}
// A value in [lo, hi) on a 1/256 grid: exact in float on every machine.
static float next_float(int lo, int hi)
{
    const int steps = (hi - lo) * 256;
    return static_cast<float>(lo * 256 + static_cast<int>(next_u32() % static_cast<uint32_t>(steps))) / 256.0f;
}

static uint64_t hash = 1469598103934665603u;
static void mix(const void* bytes, std::size_t size)
{
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ p[i]) * 1099511628211u;
}
static void mix_body(float x, float y, float vx, float vy, int32_t state)
{
    const float values[] = {x, y, vx, vy};
    mix(values, sizeof values);
    mix(&state, sizeof state);
}

// A world of bodies anywhere on and just off the screen, at any speed the
// cap allows and a little beyond, around a star of any plausible mass.
static void scatter()
{
    World& w = world;
    w.star.x = next_float(0, 610);
    w.star.y = next_float(0, 456);
    w.star.mass = next_float(0, 100000);
    w.asteroid_count = 1 + static_cast<int>(next_u32() % ASTEROID_SLOTS);
    w.score = 0;
    w.live_shots = 0;
    w.ship = Ship{};
    w.ship.x = next_float(-11, 629);
    w.ship.y = next_float(-9, 471);
    w.ship.vx = next_float(-8, 8);
    w.ship.vy = next_float(-8, 8);
    w.ship.heading = static_cast<int32_t>(next_u32() % 16);
    w.ship.state = STATE_ACTIVE;
    for (Asteroid& a : w.asteroids) {
        a = Asteroid{};
        a.x = next_float(-15, 625);
        a.y = next_float(-15, 465);
        a.vx = next_float(-8, 8);
        a.vy = next_float(-8, 8);
        a.delay = 3;
        a.state = next_u32() % 2 ? STATE_ACTIVE : STATE_GONE;
    }
    for (Shot& s : w.shots) s = Shot{};
    w.astronaut = Astronaut{};
    w.astronaut.x = next_float(-9, 631);
    w.astronaut.y = next_float(-10, 470);
    w.astronaut.vx = next_float(-8, 8);
    w.astronaut.vy = next_float(-8, 8);
    w.astronaut.air = 1000;
    w.astronaut.state = STATE_ACTIVE;
}

int main()
{
    build_heading_tables(world);
    mix(world.cos_table.data(), sizeof world.cos_table);
    mix(world.sin_table.data(), sizeof world.sin_table);
    std::printf("tables %016llx\n", static_cast<unsigned long long>(hash));

    constexpr int ROUNDS = 20000;
    constexpr int STEPS = 40;
    for (int round = 1; round <= ROUNDS; ++round) {
        scatter();
        for (int step = 0; step < STEPS; ++step) {
            // Keys change only on input frames, as in the game.
            world.frame_parity = step % 2;
            const uint32_t keys = next_u32();
            world.key_state.fill(0);
            world.key_state[DIK_UP] = (keys & 1) ? 0x80 : 0;
            world.key_state[DIK_DOWN] = (keys & 6) == 6 ? 0x80 : 0;
            world.key_state[DIK_LEFT] = (keys & 8) ? 0x80 : 0;
            world.key_state[DIK_RIGHT] = (keys & 16) ? 0x80 : 0;
            world.key_state[DIK_SPACE] = (keys & 32) ? 0x80 : 0;
            output_clear(out);
            ship_step(world, out);
            shots_step(world, out);
            asteroids_step(world, out);
            astronaut_step(world, out);
            const Ship& ship = world.ship;
            mix_body(ship.x, ship.y, ship.vx, ship.vy, ship.state);
            for (const Shot& s : world.shots) mix_body(s.x, s.y, s.vx, s.vy, s.state);
            for (const Asteroid& a : world.asteroids) mix_body(a.x, a.y, a.vx, a.vy, a.state);
            const Astronaut& astronaut = world.astronaut;
            mix_body(astronaut.x, astronaut.y, astronaut.vx, astronaut.vy, astronaut.state);
            mix(&world.score, sizeof world.score);
        }
        if (round % 1000 == 0) std::printf("round %d %016llx\n", round, static_cast<unsigned long long>(hash));
    }
    return 0;
}
