// The replay runner: the key-script rules, its options and picture dumps, and
// the golden runs that pin every rule of the game and the trace's format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "formats/bmp.h"
#include "input/keyscript.h"
#include "support/png_read.h"
#include "support/process.h"

namespace {

const std::string REPLAY = KESTRAVA_REPLAY;
const std::string GOLDEN = KESTRAVA_GOLDEN_DIR;

// The runner on a script of the given text, with options before it.
Ended replay(const std::string& script, std::vector<std::string> options = {})
{
    TempDir dir;
    options.insert(options.begin(), REPLAY);
    options.push_back(dir.write("run.keys", script));
    return run_program(options);
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(KeyScript, LinesWordsCommentsAndRoundTrips)
{
    const std::string text = "RETURN\n\nUP  SPACE\tLEFT # fire\r\n# only a comment\nRIGHT RIGHT\r\nESC";
    std::vector<uint8_t> frames;
    KeyScriptError error{};
    ASSERT_EQ(keyscript_parse(text.data(), text.size(), frames, error), 1);
    const std::vector<uint8_t> expected = {SCRIPT_RETURN, 0, SCRIPT_UP | SCRIPT_SPACE | SCRIPT_LEFT, 0,
                                           SCRIPT_RIGHT, SCRIPT_ESC};
    EXPECT_EQ(frames, expected);
    // The newline that ends the last line does not start another frame.
    const std::tuple<std::string, int, size_t, int, std::string> cases[] = {
        {"UP\nDOWN\n", 1, 2, 0, ""}, {"\n", 1, 1, 0, ""}, {"UP\n\nup\n", 0, 0, 3, "up"},
        {"UP#x\nSPACEBAR\n", 0, 0, 2, "SPACEBAR"}};
    for (const auto& [script, ok, size, line, word] : cases) {
        error = {};
        const int parsed = keyscript_parse(script.data(), script.size(), frames, error);
        EXPECT_EQ(std::tuple(parsed, ok ? frames.size() : 0, ok ? 0 : error.line, error.word),
                  std::tuple(ok, size, line, word)) << script;
    }

    uint8_t keys[256];
    for (int mask = 0; mask < 128; ++mask) {
        keyscript_key_state(static_cast<uint8_t>(mask), keys);
        EXPECT_EQ(keyscript_mask(keys), mask);
        const std::string line = keyscript_line(static_cast<uint8_t>(mask));
        ASSERT_EQ(keyscript_parse(line.data(), line.size(), frames, error), 1);
        EXPECT_EQ(frames.empty() ? 0 : frames[0], mask);
    }
    // Endless input ends at the bounds, not in the machine's memory (endless
    // bytes: ModFolder.EndlessKeyScriptEndsWithOneLine).
    const std::string at_the_bound(KEYSCRIPT_MAX_LINE_BYTES, ' '), empty_lines(KEYSCRIPT_MAX_LINES + 1, '\n');
    EXPECT_EQ(keyscript_parse(at_the_bound.data(), at_the_bound.size(), frames, error), 1);
    ASSERT_EQ(keyscript_parse(empty_lines.data(), empty_lines.size() - 1, frames, error), 1);
    EXPECT_EQ(frames.size(), KEYSCRIPT_MAX_LINES) << "24 hours of play are read";
    EXPECT_EQ(keyscript_parse(empty_lines.data(), empty_lines.size(), frames, error), 0);
    EXPECT_EQ(std::pair(keyscript_fault_text(error), frames.size()),
              std::pair(std::string("more than 2880000 lines (24 hours of play)"), size_t{0}));
}

TEST(Replay, FramesEscapeEmptyScriptsAndRefusals)
{
    EXPECT_EQ(lines_of(replay("\n\n\nESC\n\n\n").out).size(), 5u * 43u) << "stops after the ESC frame";
    EXPECT_EQ(lines_of(replay("\n\n", {"--frames", "0"}).out).size(), 43u);
    EXPECT_EQ(lines_of(replay("").out).size(), 43u);
    EXPECT_EQ(lines_of(replay("RETURN", {"--frames", "7"}).out).size(), 8u * 43u) << "no keys after the last line";

    Ended r = replay("UP\nRETURN\nJUMP\n");
    EXPECT_TRUE(r.status == 2 && r.out.empty() && r.err.find(":3: unknown key 'JUMP'") != r.err.npos) << r.err;
    r = run_program({REPLAY, "/nonexistent/script.keys"});
    EXPECT_TRUE(r.status == 2 && r.err.find("/nonexistent/script.keys") != r.err.npos) << r.err;
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--frobnicate"}, {"--frames", "-3"}, {"--every", "0"}, {"--png"}}) {
        r = replay("", bad);
        EXPECT_TRUE(r.status == 2 && r.err.find(bad[0]) != r.err.npos) << bad[0] << ": " << r.err;
    }
    EXPECT_EQ(run_program({REPLAY}).status, 2);
    // A script from a pipe with a writer; a value given with '='.
    r = run_program({"/bin/bash", "-c", REPLAY + " --frames=1 <(printf 'RETURN\\n')"});
    EXPECT_EQ(std::pair(r.status, lines_of(r.out).size()), std::pair(0, size_t{2 * 43})) << r.err;
    r = run_program({REPLAY, "--help"});
    EXPECT_TRUE(r.status == 0 && r.out.find("usage:") != r.out.npos);
}

// Every other frame dumped, as BMP and as PNG: the same pictures pixel for
// pixel and colour for colour, and the trace in its file. Every image is
// shown through splash.bmp's palette, whatever its own file holds, so a
// modder recolours the whole game from that one file: from a data folder
// whose splash has red and blue exchanged and whose backdrop is all grey,
// the runner dumps the same indices in the new splash's colours.
TEST(Replay, TraceAndDumpsShowEveryPictureThroughTheSplashPalette)
{
    TempDir dir, mod(KESTRAVA_DATA_DIR), modded;
    const std::string script = dir.write("run.keys", "\n\nRETURN\nUP SPACE\nUP SPACE LEFT\n\n");
    Ended r = run_program({REPLAY, "--trace", dir.file("t.txt"), "--dump", dir.path(), "--every", "2", script});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::tuple(r.out, lines_of(dir.read("t.txt")).size()), std::tuple(std::string(), 7u * 43u));
    r = run_program({REPLAY, "--trace", "/dev/null", "--dump", dir.path(), "--every", "2", "--png", script});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(dir.dir / "frame-000001.bmp") || fs::exists(dir.dir / "frame-000001.png"));
    EXPECT_NE(dir.read("frame-000000.bmp"), dir.read("frame-000004.bmp")) << "the splash and a game frame";
    std::string splash = mod.read("splash.bmp"), backdrop = mod.read("backdrop.bmp");
    for (size_t i = 54; i < 54 + 1024; i += 4) std::swap(splash[i], splash[i + 2]);
    for (size_t i = 54; i < 54 + 1024; ++i) backdrop[i] = char(0x80);
    mod.write("splash.bmp", splash);
    mod.write("backdrop.bmp", backdrop);
    r = run_program({REPLAY, "--trace", "/dev/null", "--dump", modded.path(), "--every", "2", script}, mod.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    LoadedBitmap colours{};
    ASSERT_EQ(bmp_read(colours, mod.file("splash.bmp").c_str()), 1);

    for (int frame : {0, 2, 4, 6}) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06d", frame);
        LoadedBitmap b{}, shown{};
        ASSERT_EQ(bmp_read(b, dir.file(name + std::string(".bmp")).c_str()) +
                  bmp_read(shown, modded.file(name + std::string(".bmp")).c_str()), 2) << name;
        PngFile p;
        ASSERT_TRUE(read_png(dir.file(name + std::string(".png")), p)) << name;
        ASSERT_EQ(std::tuple(b.info_header.biWidth, p.colour_type, p.width, p.height),
                  std::tuple(640, PNG_COLOR_TYPE_PALETTE, 640, 480));
        // The reader gives the BMP's rows top first, as the PNG stores them.
        const int64_t stride = bmp_row_stride(b.info_header.biWidth, 8);
        int wrong = 0;
        for (size_t i = 0; i < 640 * 480; ++i) {
            const PALETTEENTRY& e = b.palette[b.pixels[int64_t(i / 640) * stride + int64_t(i % 640)]];
            wrong += !p.shows(i, e.peRed, e.peGreen, e.peBlue);
        }
        EXPECT_EQ(wrong, 0) << name << ": colours or rows differ";
        EXPECT_TRUE(std::equal(shown.pixels, shown.pixels + shown.pixel_bytes, b.pixels, b.pixels + b.pixel_bytes) &&
                    std::memcmp(shown.palette.data(), colours.palette.data(), sizeof colours.palette) == 0 &&
                    std::memcmp(shown.palette.data(), b.palette.data(), sizeof b.palette) != 0)
            << name << ": not the same indices in the modded splash's colours";
        bmp_release(b), bmp_release(shown);
    }
    bmp_release(colours);
}

// An output that is the script itself, by any name, is refused and the
// script kept.
TEST(Replay, NoOutputIsWrittenOverTheScript)
{
    TempDir dir;
    const std::string script = dir.write("run.keys", "UP\n");
    fs::create_directory(dir.file("dump"));
    fs::create_symlink(script, dir.file("link.keys"));
    fs::create_symlink(script, dir.file("dump/frame-000000.bmp"));
    const std::vector<std::vector<std::string>> cases = {
        {REPLAY, "--trace", script, script}, {REPLAY, "--trace", dir.file("link.keys"), script},
        {REPLAY, "--trace=" + script, dir.file("link.keys")}, {REPLAY, "--dump", dir.file("dump"), script}};
    for (const std::vector<std::string>& argv : cases) {
        const Ended r = run_program(argv);
        EXPECT_EQ(std::tuple(r.status, count_lines(r.err), r.err.find("is the script itself") != std::string::npos),
                  std::tuple(2, 1, true)) << argv[1] << " " << argv[2] << ": " << r.err;
    }
    EXPECT_EQ(file_text(script), "UP\n");
}

// Any change to a rule of the game shows up here as a diff against the
// checked-in trace of a run through level clears, game overs and a rescue.
// Steady colours change only what is shown, so two runs are made with them.
class Golden : public ::testing::TestWithParam<const char*> {};

TEST_P(Golden, TraceMatchesTheCheckedInRun)
{
    const std::string name = GetParam();
    std::vector<std::string> argv = {REPLAY, GOLDEN + "/" + name + ".keys"};
    if (name == "hunter" || name == "rescuer") argv.insert(argv.begin() + 1, "--steady-colours");
    const Ended r = run_program(argv);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string expected = file_text(GOLDEN + "/" + name + ".trace");
    ASSERT_FALSE(expected.empty());
    if (r.out == expected) return;
    const auto got = lines_of(r.out), want = lines_of(expected);
    for (size_t i = 0; i < std::min(got.size(), want.size()); ++i)
        ASSERT_EQ(got[i], want[i]) << "first difference at line " << i + 1 << " (frame " << i / 43 << ")";
    ASSERT_EQ(got.size(), want.size());
}

INSTANTIATE_TEST_SUITE_P(Runs, Golden, ::testing::Values("hunter", "rescuer", "random", "intro"));
