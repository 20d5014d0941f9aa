// kestrava_bench_sdl: the player's edge, under a virtual X screen (Xvfb at
// 1920 x 1080 with openbox, started here unless DISPLAY names a screen).
//
// - Presentation: the palette applied to the 640 x 480 picture straight into
//   the streaming texture's memory, against a memcpy of as many bytes into
//   the same memory; and the whole present (convert, copy, show) for scale.
// - Effect latency: on SDL's disk audio driver (a device that runs at the
//   sound card's pace and keeps what it is given), the time from sfx_play to
//   the end of the callback that mixed the effect, against the device's own
//   callback period measured in the same run; and where in the stream the
//   effect landed.
// - Start-up, memory and the frame period: the game started in a child
//   process as the player starts it (window, splash, every load, sound and
//   music on SDL's dummy audio driver), timed from before the child was
//   started to its first frame, against the time the same child takes to
//   reach main; then 1,000 frames of the busy scene, each period timed.
// - The pace: the frame period and the processor time of the game's clock
//   and of the busy clock, on the machine as it is and with four busy loops
//   running beside the game.
//
// Run in the data folder (the bench target does that). Diagnostics:
// --startup-steps (where the start-up time goes), --latency and --pace (those
// alone).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SDL.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "audio/midi.h"
#include "audio/mixer.h"
#include "audio/sfx.h"
#include "formats/wav.h"
#include "bench_common.h"
#include "graphics/display.h"
#include "platform/sdl_edge.h"
#include "base/report.h"
#include "shell/load.h"
#include "shell/presenter.h"
#include "shell/shell.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int W = 640;
constexpr int H = 480;

double seconds_since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }
long long now_ns() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }

long status_kb(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(in, line)) {
        if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n + 1);
    }
    return -1;
}

// --- the X server ---------------------------------------------------------------

pid_t spawn_quiet(const std::vector<std::string>& argv, int keep_fd = -1)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        for (int fd = 3; fd < 1024; ++fd) {
            if (fd != keep_fd) close(fd);
        }
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

// With a window manager, as on a desktop (and as the end-to-end test runs
// the game): without one, SDL waits in vain for its fullscreen request to be
// granted and the picture is shown at another size.
struct Desktop {
    pid_t xvfb = -1;
    pid_t window_manager = -1;

    // A screen of its own unless one is given; false when none can be had.
    bool start()
    {
        if (std::getenv("DISPLAY")) return true;
        int fds[2];
        if (pipe(fds) != 0) return false;
        xvfb = spawn_quiet({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1920x1080x24", "-nolisten",
                            "tcp"},
                           fds[1]);
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (number.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0) {
            char c;
            if (read(fds[0], &c, 1) != 1) break;
            number += c;
        }
        close(fds[0]);
        if (number.find('\n') == std::string::npos) return false;
        number.pop_back();
        setenv("DISPLAY", (":" + number).c_str(), 1);
        if (std::system("command -v openbox >/dev/null") == 0) {
            window_manager = spawn_quiet({"openbox", "--sm-disable"});
            const auto end = Clock::now() + 10s;
            while (std::system("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'") != 0 &&
                   Clock::now() < end)
                std::this_thread::sleep_for(50ms);
            std::this_thread::sleep_for(500ms);  // and settled
        }
        return true;
    }
    ~Desktop()
    {
        for (pid_t pid : {window_manager, xvfb}) {
            if (pid > 0) {
                kill(pid, SIGTERM);
                waitpid(pid, nullptr, 0);
            }
        }
    }
};

// --- presentation -----------------------------------------------------------------

std::vector<uint8_t> picture(static_cast<size_t>(W) * H);
Colour palette[256];
uint32_t argb[256];
void* texture_memory;
int texture_pitch;

void BM_PaletteIntoTexture(benchmark::State& state)
{
    for (auto _ : state) {
        palette_to_argb(palette, argb);
        indices_to_argb(picture.data(), W, W, H, argb, static_cast<uint8_t*>(texture_memory), texture_pitch);
        benchmark::ClobberMemory();
    }
}

void BM_MemcpyIntoTexture(benchmark::State& state)
{
    std::vector<uint8_t> frame(static_cast<size_t>(W) * H * 4, 0x55);
    for (auto _ : state) {
        std::memcpy(texture_memory, frame.data(), frame.size());
        benchmark::ClobberMemory();
    }
}

void BM_PresentWhole(benchmark::State& state)
{
    for (auto _ : state) platform_present(picture.data(), W, W, H, palette);
}

BENCHMARK(BM_PaletteIntoTexture)->Repetitions(7)->ReportAggregatesOnly(true)->MinTime(0.2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyIntoTexture)->Repetitions(7)->ReportAggregatesOnly(true)->MinTime(0.2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentWhole)->Repetitions(3)->ReportAggregatesOnly(true)->MinTime(0.5)->Unit(benchmark::kMicrosecond);

// --- effect latency -----------------------------------------------------------------

struct Latency {
    std::vector<double> ms;  // sfx_play to the end of the callback that mixed it
    int misaligned = 0;      // effects that did not start their buffer
    double buffer_ms = 0;    // the device's period, measured
    std::vector<double> periods;  // callback to callback, ms
    bool ok = false;
};

// The effect is one byte, four frames at the device's rate: it has left the
// mixer, first sample and all, once its voice reports silent again, which
// happens in the callback that mixes it. The disk driver's file shows where
// in the stream it landed: at the first frame of a buffer, as nothing delays
// a voice once the mixer runs. (The file itself is written through a stdio
// buffer, so it is no clock.)
Latency effect_latency(int plays)
{
    Latency result;
    const std::string out = "/tmp/kestrava-bench-audio-" + std::to_string(getpid()) + ".raw";
    const std::string effect = "/tmp/kestrava-bench-effect-" + std::to_string(getpid()) + ".wav";
    const uint8_t loud = 0xFF;
    wav_write_pcm8(effect.c_str(), &loud, 1, EFFECT_SAMPLE_RATE);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    sfx_init();
    const int id = sfx_load_wav(effect.c_str());
    const int fd = open(out.c_str(), O_RDONLY);
    if (!sfx_device_open() || id < 0 || fd < 0) {
        std::fprintf(stderr, "kestrava_bench_sdl: no disk audio: %s\n", report_text());
        return result;
    }

    long frames_read = 0;
    std::vector<uint8_t> pending;
    uint8_t chunk[16384];
    // Reads what the device has written since; the index of the first
    // frame that is not silence, or -1. A read may end inside a frame.
    auto read_new = [&]() -> long {
        long first = -1;
        for (;;) {
            const ssize_t got = read(fd, chunk, sizeof chunk);
            if (got <= 0) return first;
            pending.insert(pending.end(), chunk, chunk + got);
            const size_t frames = pending.size() / 4;
            for (size_t k = 0; k < frames && first < 0; ++k) {
                for (int b = 0; b < 4; ++b) {
                    if (pending[4 * k + size_t(b)] != 0) first = frames_read + long(k);
                }
            }
            frames_read += long(frames);
            pending.erase(pending.begin(), pending.begin() + long(frames * 4));
        }
    };
    std::this_thread::sleep_for(200ms);
    read_new();
    const auto start = Clock::now();
    const long start_frames = frames_read;
    std::mt19937 phase(12345);
    for (int k = 0; k < plays; ++k) {
        // A moment anywhere in the device's period.
        std::this_thread::sleep_for(std::chrono::microseconds(5000 + phase() % 12000));
        const auto played = Clock::now();
        sfx_play(id);
        while (sfx_status(id) == DSBSTATUS_PLAYING && seconds_since(played) < 1.0) std::this_thread::sleep_for(50us);
        result.ms.push_back(seconds_since(played) * 1e3);
        long first = -1;
        while ((first = read_new()) < 0 && seconds_since(played) < 1.0) std::this_thread::sleep_for(200us);
        if (first < 0) return result;
        result.misaligned += first % MIX_BUFFER_FRAMES != 0;
    }
    result.buffer_ms = seconds_since(start) * 1e3 / (double(frames_read - start_frames) / MIX_BUFFER_FRAMES);
    // The device's own periods: played again as soon as one was mixed, each
    // wait ends at the next callback.
    sfx_play(id);
    while (sfx_status(id) == DSBSTATUS_PLAYING) std::this_thread::sleep_for(50us);
    auto last = Clock::now();
    for (int k = 0; k < plays; ++k) {
        sfx_play(id);
        while (sfx_status(id) == DSBSTATUS_PLAYING) std::this_thread::sleep_for(50us);
        const auto now = Clock::now();
        result.periods.push_back(std::chrono::duration<double>(now - last).count() * 1e3);
        last = now;
    }
    close(fd);
    sfx_stop_all();
    sfx_delete_all();
    sfx_shutdown();
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
    std::remove(out.c_str());
    std::remove(effect.c_str());
    result.ok = true;
    return result;
}

// --- the game in a child ---------------------------------------------------------------

// The child: timestamps on standard output, one "name value" a line.
// Processor time of the whole process (every thread), in milliseconds.
double process_cpu_ms()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

int game_child(bool play, bool busy_clock = false)
{
    if (busy_clock) {
        Settings settings;
        settings.busy_clock = true;
        shell_use_settings(settings, "");
    }
    std::printf("main %lld\n", now_ns());
    std::fflush(stdout);
    if (!startup_all()) {
        std::fprintf(stderr, "kestrava_bench_sdl: %s\n", report_text());
        shutdown_all();
        return 1;
    }
    shell_frame();
    std::printf("first_frame %lld\nrss_first_frame %ld\n", now_ns(), status_kb("VmRSS:"));
    if (!play) {
        std::fflush(stdout);
        shutdown_all();
        return 0;
    }

    make_busy_scene();
    const World scene = world;
    const uint32_t scene_rand = rand_state;
    std::vector<double> periods;
    auto last = Clock::now();
    auto timed_from = last;
    double cpu_from = process_cpu_ms();
    for (int f = 0; f < 1100; ++f) {
        world = scene;
        rand_state = scene_rand;
        // One pass of the main loop.
        if (platform_poll_event() == PLATFORM_EVENT_QUIT) break;
        shell_frame();
        const auto now = Clock::now();
        if (f >= 100) periods.push_back(std::chrono::duration<double>(now - last).count() * 1e3);
        if (f == 99) {
            timed_from = now;
            cpu_from = process_cpu_ms();
        }
        last = now;
    }
    double sum = 0;
    for (double p : periods) sum += p;
    int over31 = 0, over35 = 0;
    for (double p : periods) {
        over31 += p > 31.0;
        over35 += p > 35.0;
    }
    const double wall_ms = std::chrono::duration<double>(Clock::now() - timed_from).count() * 1e3;
    std::printf("cpu_share %.4f\n", (process_cpu_ms() - cpu_from) / wall_ms);
    std::printf("over_31 %d\nover_35 %d\n", over31, over35);
    std::printf("frames %zu\nperiod_mean %.4f\nperiod_p99 %.4f\nperiod_max %.4f\nrss_play %ld\nrss_peak %ld\n",
                periods.size(), sum / double(periods.size()), percentile(periods, 99),
                percentile(periods, 100), status_kb("VmRSS:"), status_kb("VmHWM:"));
    std::fflush(stdout);
    shutdown_all();
    return 0;
}

// Where the start-up time goes: the steps of startup_all one by one (the
// banks and the font are brought up ahead of display_init, which then finds
// them ready), for the notes in BENCHMARKS.md.
int startup_steps()
{
    auto step = [last = Clock::now()](const char* name) mutable {
        std::printf("%-28s %8.1f ms\n", name, std::chrono::duration<double>(Clock::now() - last).count() * 1e3);
        last = Clock::now();
    };
    step("to here");
    if (!platform_window_open("Kestrava", W, H)) return 1;
    display.window_open = 1;
    step("window");
    text_init(TEXT_FONT_PATH);
    step("font and glyphs");
    sfx_init();
    step("audio device");
    midi_init();
    step("synthesiser and soundfont");
    if (!display_init() || !load_splash()) return 1;
    platform_delay(4000);
    if (!load_screen_images()) return 1;
    step("display and splash (4 s)");
    if (!load_assets(world)) return 1;
    step("load_assets");
    static FrameOutput out;
    reset_level(world, NEW_GAME, out);
    present_cues(out);
    start_intro(world);
    shell_frame();
    step("first frame");
    shutdown_all();
    return 0;
}

// Runs the child once; its lines as numbers.
struct ChildRun {
    long long spawned = 0;
    std::vector<std::pair<std::string, double>> values;
    double value(const std::string& name) const
    {
        for (const auto& [n, v] : values)
            if (n == name) return v;
        return -1;
    }
};

ChildRun run_child(const char* mode)
{
    ChildRun run;
    int fds[2];
    if (pipe(fds) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string self = "/proc/self/exe";
    char exe[4096];
    const ssize_t n = readlink(self.c_str(), exe, sizeof exe - 1);
    if (n <= 0) return run;
    exe[n] = '\0';
    char* argv[] = {exe, const_cast<char*>(mode), nullptr};
    pid_t pid = 0;
    run.spawned = now_ns();
    if (posix_spawn(&pid, exe, &actions, nullptr, argv, environ) != 0) return run;
    close(fds[1]);
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fds[0], buffer, sizeof buffer)) > 0) text.append(buffer, size_t(got));
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    posix_spawn_file_actions_destroy(&actions);
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        const size_t space = line.find(' ');
        if (space != std::string::npos) run.values.emplace_back(line.substr(0, space), std::atof(line.c_str() + space + 1));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return run;
}

// Processes that spin until killed, beside the game: a machine doing other
// work.
std::vector<pid_t> start_busy_loops(int count)
{
    std::vector<pid_t> loops;
    for (int i = 0; i < count; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            volatile unsigned spin = 0;
            for (;;) spin = static_cast<unsigned>(spin) + 1u;
        }
        if (pid > 0) loops.push_back(pid);
    }
    return loops;
}

void stop_busy_loops(const std::vector<pid_t>& loops)
{
    for (pid_t pid : loops) kill(pid, SIGKILL);
    for (pid_t pid : loops) waitpid(pid, nullptr, 0);
}

double load_average()
{
    double load = -1;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) load = -1;
        std::fclose(f);
    }
    return load;
}

// Both clocks on the machine as it is, then beside four busy loops.
std::vector<SummaryRow> pace_rows()
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const double load_before = load_average();
    const ChildRun idle = run_child("--game-child");
    const ChildRun busy_idle = run_child("--busy-child");
    const std::vector<pid_t> loops = start_busy_loops(4);
    const ChildRun loaded = run_child("--game-child");
    const ChildRun busy_loaded = run_child("--busy-child");
    stop_busy_loops(loops);
    unsetenv("SDL_AUDIODRIVER");
    auto period = [](const ChildRun& r) {
        return format("mean %.3f ms", r.value("period_mean")) + format(", p99 %.2f ms", r.value("period_p99")) +
               format(", %.1f %% of a core", r.value("cpu_share") * 100);
    };
    auto ratio = [](const ChildRun& a, const ChildRun& b) {
        return format("%.3fx", a.value("period_mean") / b.value("period_mean"));
    };
    // The clock counts whole milliseconds: a period of 31 ms plus the
    // microseconds of the measuring is still 31 ms on its scale.
    const bool idle_met = idle.value("period_mean") >= 29.95 && idle.value("period_mean") <= 30.5 &&
                          idle.value("period_p99") <= 31.05;
    const bool loaded_met = loaded.value("period_mean") <= 30.5 && loaded.value("period_p99") <= 34.05 &&
                            loaded.value("cpu_share") <= 0.25;
    std::printf("load average before the pace runs: %.2f\n", load_before);
    return {
        {"Frame period, 1,000 busy frames (the game's clock)", period(idle), "busy clock: " + period(busy_idle),
         ratio(idle, busy_idle), "mean 30.0-30.5 ms, p99 <= 31 ms", idle_met},
        {"Frame period beside four busy loops (the game's clock)", period(loaded), "busy clock: " + period(busy_loaded),
         ratio(loaded, busy_loaded), "mean <= 30.5 ms, p99 <= 34 ms, <= 25 % of a core", loaded_met},
    };
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--game-child") == 0) return game_child(true);
    if (argc > 1 && std::strcmp(argv[1], "--start-child") == 0) return game_child(false);
    if (argc > 1 && std::strcmp(argv[1], "--busy-child") == 0) return game_child(true, true);
    if (argc > 1 && std::strcmp(argv[1], "--startup-steps") == 0) return startup_steps();
    if (argc > 1 && std::strcmp(argv[1], "--latency") == 0) {
        const Latency l = effect_latency(200);
        std::printf("mean %.2f p99 %.2f max %.2f ms, buffer %.2f ms (p99 %.2f, max %.2f), %d off a buffer start\n",
                    [&] { double t = 0; for (double v : l.ms) t += v; return t / double(l.ms.size()); }(),
                    percentile(l.ms, 99), percentile(l.ms, 100), l.buffer_ms, percentile(l.periods, 99),
                    percentile(l.periods, 100), l.misaligned);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--main-child") == 0) {
        std::printf("main %lld\n", now_ns());
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    Desktop desktop;
    if (!desktop.start()) {
        std::fprintf(stderr, "kestrava_bench_sdl: cannot start Xvfb\n");
        return 1;
    }
    if (argc > 1 && std::strcmp(argv[1], "--pace") == 0) {
        print_summary("The pace (kestrava_bench_sdl --pace)", pace_rows());
        return 0;
    }

    // Presentation, on the window and renderer the game uses.
    report_clear();
    if (!platform_window_open("Kestrava", W, H)) {
        std::fprintf(stderr, "kestrava_bench_sdl: %s\n", report_text());
        return 1;
    }
    std::mt19937 random(7);
    for (uint8_t& p : picture) p = static_cast<uint8_t>(random());
    for (int i = 0; i < 256; ++i) palette[i] = Colour{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 255};
    SDL_Texture* texture =
        SDL_CreateTexture(sdl_edge_renderer(), SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, W, H);
    SDL_RendererInfo renderer{};
    SDL_GetRendererInfo(sdl_edge_renderer(), &renderer);
    if (!texture || SDL_LockTexture(texture, nullptr, &texture_memory, &texture_pitch) != 0) {
        std::fprintf(stderr, "kestrava_bench_sdl: %s\n", SDL_GetError());
        return 1;
    }
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    SDL_UnlockTexture(texture);
    SDL_DestroyTexture(texture);
    platform_window_close();

    const Latency latency = effect_latency(200);

    // Start-up: three runs of the game, three of the bare child.
    std::vector<double> startup_ms, main_ms;
    ChildRun last;
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    for (int i = 0; i < 3; ++i) {
        const ChildRun bare = run_child("--main-child");
        main_ms.push_back((bare.value("main") - double(bare.spawned)) / 1e6);
        // The last run goes on to play.
        last = run_child(i < 2 ? "--start-child" : "--game-child");
        startup_ms.push_back((last.value("first_frame") - double(last.spawned)) / 1e6 - 4000.0);
    }
    unsetenv("SDL_AUDIODRIVER");
    if (last.value("frames") < 1000) {
        std::fprintf(stderr, "kestrava_bench_sdl: the game did not start under Xvfb\n");
        return 1;
    }

    const double convert = reporter.seconds["BM_PaletteIntoTexture"];
    const double copy = reporter.seconds["BM_MemcpyIntoTexture"];
    const double present = reporter.seconds["BM_PresentWhole"];
    const double lat_mean = [&] {
        double s = 0;
        for (double v : latency.ms) s += v;
        return latency.ms.empty() ? 0 : s / double(latency.ms.size());
    }();
    const double lat_p99 = percentile(latency.ms, 99);
    const double period_p99 = percentile(latency.periods, 99);
    const double buffer_ms = 1000.0 * MIX_BUFFER_FRAMES / MIX_SAMPLE_RATE;
    const double start = percentile(startup_ms, 50);
    const double to_main = percentile(main_ms, 50);
    const double rss_mb = last.value("rss_peak") / 1024.0;

    std::vector<SummaryRow> rows = {
        {"Presentation: palette into the texture's memory", format("%.1f us", convert * 1e6),
         format("%.1f us: memcpy of 640 x 480 x 4 bytes", copy * 1e6), format("%.2fx", convert / copy),
         "<= 200 us and <= 3x", convert <= 200e-6 && convert / copy <= 3.0},
        {std::string("Whole present under Xvfb (") + renderer.name + " renderer), for scale",
         format("%.0f us", present * 1e6), format("%.1f us: the conversion alone", convert * 1e6),
         format("%.1fx", present / convert), "-", true},
        {"Effect latency, sfx_play to its first sample leaving the mixer (disk driver)",
         format("first sample of the next buffer in %.0f", double(latency.ms.size()) - latency.misaligned) +
             format(" of %.0f plays; ", double(latency.ms.size())) + format("mean %.1f ms", lat_mean) +
             format(" (%.0f samples), ", lat_mean * 44.1) + format("p99 %.1f ms", lat_p99) +
             format(" (%.0f samples)", lat_p99 * 44.1),
         format("the device's period: mean %.1f ms", latency.buffer_ms) +
             format(", p99 %.1f ms", period_p99),
         format("p99 %.2fx the period's p99", lat_p99 / period_p99),
         format("<= 1 buffer (512 samples, %.1f ms)", buffer_ms),
         latency.ok && latency.misaligned == 0 && lat_p99 <= period_p99},
        {"Start-up to the first frame, minus the 4,000 ms splash", format("%.0f ms", start),
         format("%.1f ms: the same program to main()", to_main), format("%.1fx", start / to_main), "<= 300 ms",
         start <= 300},
        {"Resident memory in play (peak, with music)", format("%.1f MB", rss_mb),
         format("%.1f MB at the first frame", last.value("rss_first_frame") / 1024.0),
         format("%.2fx", last.value("rss_peak") / last.value("rss_first_frame")), "<= 64 MB", rss_mb <= 64},
    };
    for (SummaryRow& row : pace_rows()) rows.push_back(row);
    print_summary("The player's edge (kestrava_bench_sdl)", rows);
    return 0;
}
