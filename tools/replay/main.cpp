// kestrava-replay [--frames N] [--trace FILE] [--dump DIR] [--every K] [--png] [--steady-colours] SCRIPT
// kestrava-replay --verify RUN
//
// Runs the game's own start-up headless (no window, no splash wait, no
// sound), then one frame per script line, and prints the state trace. With
// --verify it replays a kept run on the rules alone and checks its claim.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "game/rules.h"
#include "base/file.h"
#include "base/report.h"
#include "formats/bmp.h"
#include "formats/png.h"
#include "input/keyscript.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "shell/options.h"
#include "shell/run_check.h"
#include "shell/runs.h"
#include "shell/shell.h"
#include "trace.h"

static const char USAGE[] =
    "usage: kestrava-replay [--frames N] [--trace FILE] [--dump DIR] [--every K] [--png]\n"
    "                       [--steady-colours] SCRIPT\n"
    "Runs Kestrava headless on a key script and prints its state trace.\n"
    "  --frames N    run exactly N frames (fewer if ESC comes first)\n"
    "  --trace FILE  write the trace to FILE instead of standard output\n"
    "  --dump DIR    write every K-th presented picture as DIR/frame-NNNNNN.bmp\n"
    "  --every K     with --dump: every K-th frame (default 1)\n"
    "  --png         with --dump: PNG files (frame-NNNNNN.png) instead of BMP\n"
    "  --steady-colours  flashing texts as the game shows them with this option;\n"
    "                the trace is the same with it as without\n"
    "A value may also be given as --name=value. An output that is the script\n"
    "itself (by any name) is refused.\n"
    "       kestrava-replay --verify RUN\n"
    "Replays a kept best run (its first line claims score, level and the frame its\n"
    "game ended) and prints what the replay reaches; exit 0 when that is the claim,\n"
    "1 when not, 2 when the file is no run.\n";

static int usage_error(const char* what, const char* detail)
{
    std::fprintf(stderr, "kestrava-replay: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
    return 2;
}

static bool parse_count(const char* text, long min, long& out)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno || end == text || *end != '\0' || v < min) return false;
    out = v;
    return true;
}

static bool dump_picture(const std::string& dir, long frame, bool png)
{
    const PlatformPicture pic = platform_picture();
    if (!pic.pixels) return true;
    Palette palette{};
    std::copy_n(pic.palette, palette.size(), palette.begin());
    char name[64];
    if (png) {
        std::snprintf(name, sizeof name, "/frame-%06ld.png", frame);
        return png_write_indexed((dir + name).c_str(), pic.width, pic.height, pic.pixels,
                                 static_cast<size_t>(pic.pitch), palette) == 1;
    }
    std::vector<uint8_t> rows(static_cast<size_t>(pic.width) * pic.height);
    for (int y = 0; y < pic.height; ++y)
        std::memcpy(&rows[static_cast<size_t>(y) * pic.width], pic.pixels + static_cast<size_t>(y) * pic.pitch,
                    static_cast<size_t>(pic.width));
    std::snprintf(name, sizeof name, "/frame-%06ld.bmp", frame);
    return bmp_write_8bit((dir + name).c_str(), pic.width, pic.height, rows.data(), palette) == 1;
}

// The options that take a value: 1 when argv[i] was one, 0 when it is none,
// -1 after a usage error.
struct ValueOptions {
    long frames = -1;
    long every = 1;
    const char* trace = nullptr;
    const char* dump = nullptr;
};

static int value_option(int argc, char** argv, int& i, ValueOptions& o)
{
    const char* value = nullptr;
    std::string why;
    const struct {
        const char* name;
        const char* takes;
        long* count;  // null: a path
        long least;
        const char** path;
    } options[] = {{"--frames", "a whole number of 0 or more", &o.frames, 0, nullptr},
                   {"--every", "a whole number of 1 or more", &o.every, 1, nullptr},
                   {"--trace", "a file name", nullptr, 0, &o.trace},
                   {"--dump", "a folder", nullptr, 0, &o.dump}};
    for (const auto& option : options) {
        switch (option_value(argc, argv, i, option.name, option.takes, value, why)) {
        case OPTION_OTHER: continue;
        case OPTION_REFUSED: return usage_error(why.c_str(), nullptr), -1;
        case OPTION_TAKEN: break;
        }
        if (option.path) {
            *option.path = value;
        } else if (!parse_count(value, option.least, *option.count)) {
            return usage_error(why.c_str(), nullptr), -1;
        }
        return 1;
    }
    return 0;
}

// An output that is the script itself (by any name) would destroy it: the
// trace file, or a dumped picture of the folder's that is already the script.
static const char* lands_on_script(const char* script, const ValueOptions& o, bool png)
{
    struct stat in{};
    struct stat st{};
    if (stat(script, &in) != 0) return nullptr;
    if (o.trace && stat(o.trace, &st) == 0 && same_file(st, in)) return o.trace;
    if (!o.dump) return nullptr;
    static std::string landing;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(o.dump, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("frame-") && name.ends_with(png ? ".png" : ".bmp") &&
            stat(entry.path().c_str(), &st) == 0 && same_file(st, in))
            return (landing = entry.path().string()).c_str();
    }
    return nullptr;
}

// Replays a run and compares what it reaches with its claim.
static int verify_run(const char* path)
{
    std::vector<uint8_t> keys;
    uint64_t hash = 0;
    RunClaim claim{};
    std::string why;
    if (!run_file_read(path, keys, hash, claim, &why)) {
        std::fprintf(stderr, "kestrava-replay: %s\n", why.c_str());
        return 2;
    }
    const RunReached reached = run_replay(std::move(keys));
    const bool verified = run_matches_claim(reached, claim);
    std::printf("reached: score %d level %d frame %ld%s\n", reached.score, reached.level, reached.frames,
                reached.ended ? "" : " (no game ended there)");
    std::printf("claimed: score %d level %d frame %ld\n", claim.score, claim.level, claim.end_frame);
    std::printf("%s\n", verified ? "verified" : "not verified");
    return verified ? 0 : 1;
}

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--verify") == 0) return verify_run(argv[2]);
    if (argc == 2 && std::strncmp(argv[1], "--verify=", 9) == 0) return verify_run(argv[1] + 9);
    ValueOptions options;
    const char* script_path = nullptr;
    bool png = false;
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const int taken = value_option(argc, argv, i, options);
        if (taken < 0) return 2;
        if (taken > 0) continue;
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            std::fputs(USAGE, stdout);
            return stdout_finished("kestrava-replay");
        } else if (std::strcmp(a, "--png") == 0) {
            png = true;
        } else if (std::strcmp(a, "--steady-colours") == 0) {
            settings.steady_colours = true;
        } else if (std::strcmp(a, "--verify") == 0) {
            return usage_error("--verify takes one run and nothing else", nullptr);
        } else if (a[0] == '-' && a[1] != '\0') {
            return usage_error("unknown option", shown_text(a).c_str());
        } else if (script_path) {
            return usage_error("only one script may be given", a);
        } else {
            script_path = a;
        }
    }
    if (!script_path) return usage_error("no script given (see --help)", nullptr);
    const char* trace_path = options.trace;
    const char* dump_dir = options.dump;
    if (png && !dump_dir) return usage_error("--png goes with --dump", nullptr);
    if (const char* output = lands_on_script(script_path, options, png))
        return usage_error(output, "is the script itself; it is not written over");

    std::vector<uint8_t> script;
    KeyScriptError bad;
    if (!keyscript_load(script_path, script, bad)) {
        if (bad.line == 0) return usage_error(script_path, std::strerror(errno));
        std::fprintf(stderr, "kestrava-replay: %s:%d: %s\n", script_path, bad.line, keyscript_fault_text(bad).c_str());
        return 2;
    }

    std::FILE* out = stdout;
    if (trace_path && !(out = std::fopen(trace_path, "wb"))) return usage_error(trace_path, std::strerror(errno));
    static char out_buffer[1 << 20];
    std::setvbuf(out, out_buffer, _IOFBF, sizeof out_buffer);

    shell_use_settings(settings, "");
    if (!startup_all()) {
        std::fprintf(stderr, "kestrava-replay: %s\n", report_text()[0] ? report_text() : "start-up failed");
        shutdown_all();
        return 1;
    }

    const long frames = options.frames >= 0 ? options.frames : static_cast<long>(script.size());
    const long every = options.every;
    const std::string dump = dump_dir ? dump_dir : "";
    static char block[TRACE_BLOCK_MAX];
    std::fwrite(block, 1, trace_block(0, block), out);
    int status = 0;
    if (dump_dir && !dump_picture(dump, 0, png)) status = 1;
    uint8_t keys[256];
    for (long f = 1; f <= frames && status == 0; ++f) {
        const uint8_t mask = f <= static_cast<long>(script.size()) ? script[static_cast<size_t>(f - 1)] : 0;
        keyscript_key_state(mask, keys);
        headless_set_keys(keys);
        shell_frame();
        std::fwrite(block, 1, trace_block(f, block), out);
        if (dump_dir && f % every == 0 && !dump_picture(dump, f, png)) status = 1;
        if (world.quit_requested) break;
    }
    if (status) std::fprintf(stderr, "kestrava-replay: %s: cannot write a picture\n", dump_dir);
    if (std::fflush(out) != 0 || (trace_path && std::fclose(out) != 0)) {
        std::fprintf(stderr, "kestrava-replay: cannot write the trace\n");
        status = 1;
    }
    shutdown_all();
    return status;
}
