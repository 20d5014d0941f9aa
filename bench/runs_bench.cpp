// kestrava_bench_runs: the best runs' two costs a player could feel.
//
// - Opening the table with ten verified runs of an hour each (120,000
//   frames): every file read and hashed against the index, against reading
//   the same files alone.
// - Verifying one hour of play: the run replayed on the rules alone, against
//   the same frames through the shell as the replay runner shows them
//   (rules, drawing, the headless present).
//
// Each figure is the median of seven runs (the slow baseline: of three). Run in the data folder (the bench
// target does that).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/file.h"
#include "base/report.h"
#include "game/rules.h"
#include "input/keyboard.h"
#include "input/keyscript.h"
#include "platform/headless.h"
#include "shell/run_check.h"
#include "shell/runs.h"
#include "shell/shell.h"

namespace {

constexpr size_t HOUR_FRAMES = 120000;

// An hour of a player who fires, turns and thrusts at random and starts the
// next game or level now and then, ending with ESC.
std::vector<uint8_t> hour_of_play(uint64_t seed)
{
    std::vector<uint8_t> keys(HOUR_FRAMES);
    for (uint8_t& mask : keys) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        const uint32_t r = static_cast<uint32_t>(seed >> 33);
        mask = static_cast<uint8_t>((r % 3 ? SCRIPT_SPACE : 0) | (r % 5 == 0 ? SCRIPT_LEFT : 0) |
                                    (r % 7 == 0 ? SCRIPT_UP : 0) | (r % 64 == 0 ? SCRIPT_RETURN : 0));
    }
    keys.back() = SCRIPT_ESC;
    return keys;
}

template <typename Work>
double median_ms(Work work, int runs = 7)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void through_the_shell(const std::vector<uint8_t>& keys)
{
    headless_reset();
    world = World{};
    rand_state = 1;
    shell_use_settings(Settings{}, "");
    if (!startup_all()) std::fprintf(stderr, "start-up failed: %s\n", report_text());
    uint8_t state[256];
    for (uint8_t mask : keys) {
        keyscript_key_state(mask, state);
        headless_set_keys(state);
        shell_frame();
        if (world.quit_requested) break;
    }
    shutdown_all();
}

}  // namespace

int main()
{
    char name[] = "/tmp/kestrava-bench-runs-XXXXXX";
    if (!mkdtemp(name)) return 1;
    const std::string folder = name;
    std::string why;
    std::vector<std::vector<uint8_t>> hours;
    for (int i = 0; i < 10; ++i) {
        hours.push_back(hour_of_play(1000 + i));
        const RunReached reached = run_replay(hours.back());
        const RunClaim claim{reached.score, reached.level, reached.frames, "2026-01-01T00:00:0" + std::to_string(i) + "Z",
                             KESTRAVA_VERSION};
        std::string file;
        if (!runs_save(folder, hours.back(), claim, file, &why)) std::fprintf(stderr, "%s\n", why.c_str());
    }
    runs_check_unchecked(folder);

    RunTable table;
    const double open_ms = median_ms([&] { runs_read_table(folder, table, &why); });
    const double read_ms = median_ms([&] {
        std::vector<uint8_t> bytes;
        const char* fault = nullptr;
        for (const auto& e : std::filesystem::directory_iterator(folder)) read_file(e.path().c_str(), RUN_FILE_LIMIT, bytes, &fault);
    });
    const double verify_ms = median_ms([&] { run_replay(hours[0]); });
    const double shell_ms = median_ms([&] { through_the_shell(hours[0]); }, 3);
    std::filesystem::remove_all(folder);

    std::printf("| Measure | Figure | Baseline (same run) | Target | Met |\n|---|---|---|---|---|\n");
    std::printf("| Table opened, %zu verified runs of an hour each | %.1f ms | %.1f ms: reading the files alone | "
                "< 50 ms | %s |\n", table.ranked.size(), open_ms, read_ms, open_ms < 50 ? "yes" : "**no**");
    std::printf("| One hour of play (%zu frames) verified | %.0f ms | %.0f ms: the same frames through the shell, "
                "drawn and presented headless | < 5,000 ms | %s |\n", HOUR_FRAMES, verify_ms, shell_ms,
                verify_ms < 5000 ? "yes" : "**no**");
    return table.ranked.size() == 10 ? 0 : 1;
}
