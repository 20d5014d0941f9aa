// kestrava-replay [--frames N] [--trace FILE] [--dump DIR] [--every K] [--png] [--steady-colours] SCRIPT
//
// Runs the game's own start-up headless (no window, no splash wait, no
// sound), then one frame per script line, and prints the state trace.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "game/rules.h"
#include "base/report.h"
#include "formats/bmp.h"
#include "formats/png.h"
#include "input/keyscript.h"
#include "platform/headless.h"
#include "platform/platform.h"
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
    "                the trace is the same with it as without\n";

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

int main(int argc, char** argv)
{
    long frames_wanted = -1;
    long every = 1;
    const char* trace_path = nullptr;
    const char* dump_dir = nullptr;
    const char* script_path = nullptr;
    bool png = false;
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const bool has_value = i + 1 < argc;
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            std::fputs(USAGE, stdout);
            return 0;
        } else if (std::strcmp(a, "--frames") == 0) {
            if (!has_value || !parse_count(argv[++i], 0, frames_wanted))
                return usage_error("--frames takes a whole number of 0 or more", nullptr);
        } else if (std::strcmp(a, "--every") == 0) {
            if (!has_value || !parse_count(argv[++i], 1, every))
                return usage_error("--every takes a whole number of 1 or more", nullptr);
        } else if (std::strcmp(a, "--trace") == 0) {
            if (!has_value) return usage_error("--trace takes a file name", nullptr);
            trace_path = argv[++i];
        } else if (std::strcmp(a, "--dump") == 0) {
            if (!has_value) return usage_error("--dump takes a folder", nullptr);
            dump_dir = argv[++i];
        } else if (std::strcmp(a, "--png") == 0) {
            png = true;
        } else if (std::strcmp(a, "--steady-colours") == 0) {
            settings.steady_colours = true;
        } else if (a[0] == '-' && a[1] != '\0') {
            return usage_error("unknown option", a);
        } else if (script_path) {
            return usage_error("only one script may be given", a);
        } else {
            script_path = a;
        }
    }
    if (!script_path) return usage_error("no script given (see --help)", nullptr);
    if (png && !dump_dir) return usage_error("--png goes with --dump", nullptr);

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

    const long frames = frames_wanted >= 0 ? frames_wanted : static_cast<long>(script.size());
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
        run_frame();
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
