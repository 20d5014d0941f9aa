// What both benchmark programs share: the busy scene, a reporter that keeps
// the medians for the summary, and the summary itself, where every figure
// stands beside the baseline it was measured against in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "game/rules.h"
#include "shell/shell.h"

// The busiest frame the rules allow: 30 asteroids, all 10 shots, the ship
// under thrust and the astronaut, all in flight and clear of one another
// (so that no contact changes the scene), with the level, score and air
// texts. Needs the assets loaded.
inline void make_busy_scene()
{
    World& w = world;
    w.phase = PHASE_PLAYING;
    w.level = 28;
    w.score = 12340;
    w.asteroid_count = ASTEROID_SLOTS;
    w.asteroids_left = ASTEROID_SLOTS;
    w.end_counter = 0;
    w.game_over_started = 0;
    w.frame_parity = 0;
    w.quit_requested = 0;
    for (int i = 0; i < ASTEROID_SLOTS; ++i) {
        Asteroid& a = w.asteroids[i];
        a.state = STATE_ACTIVE;
        a.x = static_cast<float>(10 + (i % 6) * 42);
        a.y = static_cast<float>(10 + (i / 6) * 92);
        a.vx = 0.5f;
        a.vy = 0.25f;
        a.frame = i % 16;
        a.tick = 0;
        a.explosion_frame = 0;
    }
    for (int i = 0; i < SHOT_SLOTS; ++i) {
        Shot& s = w.shots[i];
        s.state = STATE_ACTIVE;
        s.x = static_cast<float>(380 + (i % 2) * 40);
        s.y = static_cast<float>(40 + i * 40);
        s.vx = 1.0f;
        s.vy = 0.0f;
        s.life = 40;
        s.frame = i % 3;
        s.tick = 0;
    }
    w.live_shots = SHOT_SLOTS;
    Astronaut& n = w.astronaut;
    n.state = STATE_ACTIVE;
    n.x = 470.0f;
    n.y = 420.0f;
    n.vx = 0.5f;
    n.vy = 0.0f;
    n.air = 3000;
    n.explosion_frame = 0;
    Ship& ship = w.ship;
    ship.state = STATE_ACTIVE;
    ship.x = 590.0f;
    ship.y = 230.0f;
    ship.vx = 0.0f;
    ship.vy = 0.0f;
    ship.heading = 4;
    ship.thrust = THRUST_FORWARD;
    ship.explosion_frame = 0;
    w.key_state = {};
}

// Keeps the median of every benchmark run with repetitions, in seconds.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> seconds;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs) {
            if (r.aggregate_name == "median") {
                seconds[r.run_name.function_name] =
                    r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

struct SummaryRow {
    std::string measure;
    std::string figure;
    std::string baseline;
    std::string ratio;
    std::string target;
    bool met;
};

inline std::string format(const char* f, double v)
{
    char b[64];
    std::snprintf(b, sizeof b, f, v);
    return b;
}

// A Markdown table, ready for BENCHMARKS.md.
inline void print_summary(const char* title, const std::vector<SummaryRow>& rows)
{
    std::printf("\n%s\n\n| Measure | Figure | Baseline (same run) | Ratio | Target | Met |\n|---|---|---|---|---|---|\n",
                title);
    for (const SummaryRow& r : rows) {
        std::printf("| %s | %s | %s | %s | %s | %s |\n", r.measure.c_str(), r.figure.c_str(), r.baseline.c_str(),
                    r.ratio.c_str(), r.target.c_str(), r.met ? "yes" : "**no**");
    }
    std::fflush(stdout);
}

inline double percentile(std::vector<double> v, double p)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p / 100.0 * static_cast<double>(v.size())));
    return v[i];
}
