// kestrava-autopilot [--frames N] [--seed S] [--pilot hunter|rescuer|random]
//
// Plays the game headless with a simple pilot and prints the key script it
// played, one line a frame. Used to make the golden scripts of the tests and
// long, varied runs for soak tests: a replay of its output must reach the
// same states the pilot saw.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/report.h"
#include "game/rules.h"
#include "input/keyscript.h"
#include "platform/headless.h"
#include "shell/shell.h"

namespace {

enum Pilot { HUNTER, RESCUER, RANDOM };

uint32_t pilot_seed = 12345;
int pilot_rand()
{
    pilot_seed = pilot_seed * 1103515245u + 12345u;
    return static_cast<int>((pilot_seed >> 8) & 0xFFFF);
}

constexpr double PI = 3.14159265358979323846;

double ship_cx() { return world.ship.x + 11.0; }
double ship_cy() { return world.ship.y + 9.0; }

int heading_towards(double dx, double dy)
{
    double angle = std::atan2(dy, dx);
    if (angle < 0) angle += 2 * PI;
    return static_cast<int>(std::lround(angle / (2 * PI / 16))) % 16;
}

// Turn toward `want`; true when already facing it.
bool steer(int want, uint8_t& mask)
{
    const int diff = (want - world.ship.heading + 16) % 16;
    if (diff == 0) return true;
    mask |= diff <= 8 ? SCRIPT_RIGHT : SCRIPT_LEFT;
    return false;
}

uint8_t fly(Pilot pilot)
{
    const World& w = world;
    uint8_t mask = 0;
    if (w.phase == PHASE_INTRO) return pilot_rand() % 30 == 0 ? SCRIPT_RETURN : 0;
    if (w.phase == PHASE_LEVEL_CLEAR || w.phase == PHASE_GAME_OVER) return pilot_rand() % 20 == 0 ? SCRIPT_RETURN : 0;
    if (pilot == RANDOM) {
        const uint8_t keys[] = {SCRIPT_UP, SCRIPT_DOWN, SCRIPT_LEFT, SCRIPT_RIGHT, SCRIPT_SPACE};
        for (uint8_t k : keys)
            if (pilot_rand() % 3 == 0) mask |= k;
        return mask;
    }

    const double speed = std::hypot(w.ship.vx, w.ship.vy);
    const double to_star_x = 320.0 - ship_cx();
    const double to_star_y = 240.0 - ship_cy();
    const double star_distance = std::hypot(to_star_x, to_star_y);

    // Too close to the star: point away from it and burn.
    if (star_distance < 110) {
        if (steer(heading_towards(-to_star_x, -to_star_y), mask)) mask |= SCRIPT_UP;
        return mask;
    }
    if (pilot == RESCUER && w.astronaut.state == STATE_ACTIVE) {
        const double dx = w.astronaut.x + 9.0 - ship_cx();
        const double dy = w.astronaut.y + 10.0 - ship_cy();
        if (steer(heading_towards(dx, dy), mask) && speed < 2.5) mask |= SCRIPT_UP;
        if (speed > 3.0) mask |= SCRIPT_DOWN;
        return mask;
    }
    // Hunt the nearest asteroid, holding still while aiming.
    double best = 1e9;
    double tx = 0, ty = 0;
    for (const Asteroid& a : w.asteroids) {
        if (a.state != STATE_ACTIVE) continue;
        const double dx = a.x + 15.0 + a.vx * 6 - ship_cx();
        const double dy = a.y + 15.0 + a.vy * 6 - ship_cy();
        const double d = std::hypot(dx, dy);
        if (d < best) {
            best = d;
            tx = dx;
            ty = dy;
        }
    }
    if (speed > 1.0) mask |= SCRIPT_DOWN;
    if (best < 1e9 && steer(heading_towards(tx, ty), mask) && best < 320) mask |= SCRIPT_SPACE;
    return mask;
}

}  // namespace

int main(int argc, char** argv)
{
    long frames = 3000;
    Pilot pilot = HUNTER;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = std::atol(argv[++i]);
        } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            pilot_seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (std::strcmp(argv[i], "--pilot") == 0 && i + 1 < argc) {
            const std::string p = argv[++i];
            pilot = p == "rescuer" ? RESCUER : p == "random" ? RANDOM : HUNTER;
        } else {
            std::fprintf(stderr, "usage: kestrava-autopilot [--frames N] [--seed S] [--pilot hunter|rescuer|random]\n");
            return 2;
        }
    }
    if (!startup_all()) {
        std::fprintf(stderr, "kestrava-autopilot: %s\n", report_text());
        return 1;
    }
    uint8_t keys[256];
    for (long f = 0; f < frames; ++f) {
        const uint8_t mask = fly(pilot);
        std::printf("%s\n", keyscript_line(mask).c_str());
        keyscript_key_state(mask, keys);
        headless_set_keys(keys);
        shell_frame();
    }
    shutdown_all();
    return 0;
}
