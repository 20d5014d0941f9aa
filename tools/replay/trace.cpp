// State-trace formatting. Floats are written as printf's %.9g would, which
// reads back as the exact float; to_chars does it without a locale and fast
// enough for tens of thousands of frames a second.
#include "trace.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "game/rules.h"
#include "shell/shell.h"

namespace {

struct Writer {
    char* p;

    void text(const char* s)
    {
        const size_t n = std::strlen(s);
        std::memcpy(p, s, n);
        p += n;
    }
    void integer(long long v)
    {
        *p++ = ' ';
        p = std::to_chars(p, p + 24, v).ptr;
    }
    void real(float v)
    {
        *p++ = ' ';
#if defined(__cpp_lib_to_chars)
        p = std::to_chars(p, p + 32, static_cast<double>(v), std::chars_format::general, 9).ptr;
#else
        // The browser's C++ library has no floating-point to_chars; printf's
        // %.9g writes the very same characters.
        p += std::snprintf(p, 32, "%.9g", static_cast<double>(v));
#endif
    }
    void end() { *p++ = '\n'; }
};

}  // namespace

size_t trace_block(long frame, char* out)
{
    const World& w = world;
    Writer o{out};
    o.text("F");
    for (long long v : {static_cast<long long>(frame), static_cast<long long>(w.phase),
                        static_cast<long long>(w.level), static_cast<long long>(w.score),
                        static_cast<long long>(w.asteroid_count), static_cast<long long>(w.asteroids_left),
                        static_cast<long long>(w.live_shots), static_cast<long long>(w.end_counter),
                        static_cast<long long>(w.game_over_started), static_cast<long long>(w.frame_parity),
                        static_cast<long long>(w.intro_timer), static_cast<long long>(w.intro_scroll_y),
                        static_cast<long long>(w.quit_requested), static_cast<long long>(rand_state),
                        static_cast<long long>(w.star.frame), static_cast<long long>(w.star.tick)})
        o.integer(v);
    o.end();

    const Ship& s = w.ship;
    o.text("S");
    o.integer(s.state);
    o.real(s.x);
    o.real(s.y);
    o.real(s.vx);
    o.real(s.vy);
    o.integer(s.heading);
    o.integer(s.thrust);
    o.integer(s.explosion_frame);
    o.end();

    const Astronaut& astronaut = w.astronaut;
    o.text("N");
    o.integer(astronaut.state);
    o.real(astronaut.x);
    o.real(astronaut.y);
    o.real(astronaut.vx);
    o.real(astronaut.vy);
    o.integer(astronaut.air);
    o.integer(astronaut.frame);
    o.integer(astronaut.tick);
    o.integer(astronaut.explosion_frame);
    o.end();

    for (int i = 0; i < ASTEROID_SLOTS; ++i) {
        const Asteroid& a = w.asteroids[i];
        o.text("A");
        o.integer(i);
        o.integer(a.state);
        o.real(a.x);
        o.real(a.y);
        o.real(a.vx);
        o.real(a.vy);
        o.integer(a.frame);
        o.integer(a.tick);
        o.integer(a.delay);
        o.integer(a.explosion_frame);
        o.end();
    }
    for (int i = 0; i < SHOT_SLOTS; ++i) {
        const Shot& p = w.shots[i];
        o.text("P");
        o.integer(i);
        o.integer(p.state);
        o.real(p.x);
        o.real(p.y);
        o.real(p.vx);
        o.real(p.vy);
        o.integer(p.life);
        o.integer(p.frame);
        o.integer(p.tick);
        o.end();
    }
    return static_cast<size_t>(o.p - out);
}
