// kestrava_bench: the game's own work, on the headless edge.
//
// - One busy frame: the keys, the rules and the presenter (the headless edge
//   presents by keeping a pointer and its clock moves only while the frame
//   waits), against the drawing of the same frame's output alone.
// - The replay runner: frames per second over a 20,000-frame script with the
//   full trace written, against the same runner's start-up and shut-down.
//
// Run in the data folder (the bench target does that).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_common.h"
#include "base/report.h"
#include "platform/headless.h"
#include "shell/presenter.h"
#include "shell/shell.h"

extern char** environ;

namespace {

World scene;
uint32_t scene_rand;

void restore_scene()
{
    world = scene;
    rand_state = scene_rand;
}

void BM_BusyFrame(benchmark::State& state)
{
    for (auto _ : state) {
        restore_scene();
        shell_frame();
        benchmark::ClobberMemory();
    }
}

// The busy frame's own draws, as the rules produced them, and nothing else.
void BM_BusyFrameBlitsAlone(benchmark::State& state)
{
    restore_scene();
    static FrameOutput out;
    output_clear(out);
    run_frame(world, world.key_state, out);
    for (auto _ : state) {
        draw_frame(out);
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_BusyFrame)->Repetitions(7)->ReportAggregatesOnly(true)->MinTime(0.2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BusyFrameBlitsAlone)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->MinTime(0.2)
    ->Unit(benchmark::kMicrosecond);

// Seconds a program takes from start to end, its output to /dev/null.
double run_seconds(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const auto end = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double>(end - start).count();
}

double median_of(int runs, const std::vector<std::string>& argv)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) t.push_back(run_seconds(argv));
    return percentile(t, 50);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    headless_reset();
    if (!startup_all()) {
        std::fprintf(stderr, "kestrava_bench: %s (run it in the data folder)\n", report_text());
        return 1;
    }
    make_busy_scene();
    scene = world;
    scene_rand = rand_state;
    // The scene must still be the busy one after its frame.
    shell_frame();
    int active = 0;
    for (const Asteroid& a : world.asteroids) active += a.state == STATE_ACTIVE;
    if (active != ASTEROID_SLOTS || world.live_shots != SHOT_SLOTS || world.ship.state != STATE_ACTIVE ||
        world.astronaut.state != STATE_ACTIVE) {
        std::fprintf(stderr, "kestrava_bench: the busy scene did not survive its frame\n");
        return 1;
    }

    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    shutdown_all();

    // The replay runner on a 20,000-frame script of the autopilot.
    const std::string script = "/tmp/kestrava-bench-" + std::to_string(getpid()) + ".keys";
    const std::string make = std::string(KESTRAVA_AUTOPILOT) + " --frames 20000 --pilot hunter > " + script;
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "kestrava_bench: the autopilot failed\n");
        return 1;
    }
    const double whole = median_of(5, {KESTRAVA_REPLAY, "--trace", "/dev/null", script});
    const double bare = median_of(5, {KESTRAVA_REPLAY, "--frames", "0", "--trace", "/dev/null", script});
    std::remove(script.c_str());

    const double frame = reporter.seconds["BM_BusyFrame"];
    const double blits = reporter.seconds["BM_BusyFrameBlitsAlone"];
    const double fps = 20000.0 / (whole - bare);
    std::vector<SummaryRow> rows = {
        {"Busy frame (keys, rules and presenter, headless)", format("%.1f us", frame * 1e6),
         format("%.1f us: its output's draws alone", blits * 1e6), format("%.2fx", frame / blits),
         "<= 100 us and <= 2.5x", frame <= 100e-6 && frame / blits <= 2.5},
        {"Headless replay, 20,000 frames, trace to /dev/null", format("%.0f frames/s", fps),
         format("%.0f ms: start-up and shut-down alone", bare * 1e3),
         format("%.2f s in all", whole), ">= 20,000 frames/s", fps >= 20000},
    };
    print_summary("Game work (kestrava_bench)", rows);
    return 0;
}
