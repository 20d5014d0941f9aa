// The replay runner: the binding trace format, the key-script rules, and the
// golden runs that pin every rule of the game.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "input/keyscript.h"
#include "process.h"

namespace {

const std::string REPLAY = KESTRAVA_REPLAY;
const std::string GOLDEN = KESTRAVA_GOLDEN_DIR;

std::string write_script(const std::string& text)
{
    static int serial = 0;
    const std::string path = test_temp_dir() + "/script" + std::to_string(serial++) + ".keys";
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

ProcessResult replay(const std::string& args) { return run_process(REPLAY + " " + args); }

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> words(const std::string& line)
{
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

}  // namespace

TEST(KeyScript, LinesWordsCommentsAndCarriageReturns)
{
    const std::string text = "RETURN\n\nUP  SPACE\tLEFT # fire\r\n# only a comment\nRIGHT RIGHT\r\nESC";
    std::vector<uint8_t> frames;
    KeyScriptError error{};
    ASSERT_EQ(keyscript_parse(text.data(), text.size(), frames, error), 1);
    const std::vector<uint8_t> expected = {SCRIPT_RETURN, 0, SCRIPT_UP | SCRIPT_SPACE | SCRIPT_LEFT, 0,
                                           SCRIPT_RIGHT, SCRIPT_ESC};
    EXPECT_EQ(frames, expected);

    // The newline that ends the last line does not start another frame.
    const std::string two = "UP\nDOWN\n";
    ASSERT_EQ(keyscript_parse(two.data(), two.size(), frames, error), 1);
    EXPECT_EQ(frames.size(), 2u);
    ASSERT_EQ(keyscript_parse("", 0, frames, error), 1);
    EXPECT_TRUE(frames.empty());
    ASSERT_EQ(keyscript_parse("\n", 1, frames, error), 1);
    EXPECT_EQ(frames.size(), 1u);

    const std::string bad = "UP\n\nup\n";
    EXPECT_EQ(keyscript_parse(bad.data(), bad.size(), frames, error), 0);
    EXPECT_EQ(error.line, 3);
    EXPECT_EQ(error.word, "up");
    const std::string glued = "UP#x\nSPACEBAR\n";
    EXPECT_EQ(keyscript_parse(glued.data(), glued.size(), frames, error), 0);
    EXPECT_EQ(error.line, 2);
    EXPECT_EQ(error.word, "SPACEBAR");
}

TEST(KeyScript, LinesRoundTripThroughKeyStates)
{
    uint8_t keys[256];
    for (int mask = 0; mask < 128; ++mask) {
        keyscript_key_state(static_cast<uint8_t>(mask), keys);
        EXPECT_EQ(keyscript_mask(keys), mask);
        const std::string line = keyscript_line(static_cast<uint8_t>(mask));
        std::vector<uint8_t> frames;
        KeyScriptError error{};
        ASSERT_EQ(keyscript_parse(line.data(), line.size(), frames, error), 1);
        EXPECT_EQ(frames.empty() ? 0 : frames[0], mask);
    }
    keyscript_key_state(SCRIPT_UP | SCRIPT_ESC, keys);
    EXPECT_NE(keys[200], 0);
    EXPECT_NE(keys[1], 0);
    EXPECT_EQ(std::count(keys, keys + 256, 0), 254);
}

TEST(Replay, TraceBlocksHaveTheBindingShape)
{
    const ProcessResult r = replay(write_script("RETURN\nUP SPACE\n\n"));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 4u * 43u);
    for (size_t b = 0; b < 4; ++b) {
        const auto f = words(lines[b * 43]);
        ASSERT_EQ(f.size(), 17u);
        EXPECT_EQ(f[0], "F");
        EXPECT_EQ(f[1], std::to_string(b));
        EXPECT_EQ(words(lines[b * 43 + 1]).size(), 9u);
        EXPECT_EQ(words(lines[b * 43 + 1])[0], "S");
        EXPECT_EQ(words(lines[b * 43 + 2]).size(), 10u);
        for (int i = 0; i < 30; ++i) {
            const auto a = words(lines[b * 43 + 3 + i]);
            ASSERT_EQ(a.size(), 11u);
            EXPECT_EQ(a[0], "A");
            EXPECT_EQ(a[1], std::to_string(i));
        }
        for (int i = 0; i < 10; ++i) {
            const auto p = words(lines[b * 43 + 33 + i]);
            ASSERT_EQ(p.size(), 10u);
            EXPECT_EQ(p[0], "P");
        }
    }
    // Frame 0: after the first game's set-up and the intro's.
    EXPECT_EQ(lines[0], "F 0 40 1 0 3 3 0 0 0 0 1350 480 0 2530505172 0 0");
    EXPECT_EQ(lines[1], "S 100 600 240 0 0 0 0 0");
    EXPECT_EQ(lines[3], "A 0 100 0 94 3 1 6 0 3 0");
    EXPECT_EQ(lines[33], "P 0 300 0 0 0 0 0 0 0");
    // RETURN left the intro in frame 1; the shot of frame 2 is in flight.
    EXPECT_EQ(words(lines[43])[2], "10");
    EXPECT_EQ(words(lines[2 * 43 + 33])[2], "100");
}

TEST(Replay, FramesOptionEscapeAndEmptyScripts)
{
    const std::string script = write_script("\n\n\nESC\n\n\n");
    ProcessResult r = replay(script);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines_of(r.out).size(), 5u * 43u);  // stops after the ESC frame

    r = replay("--frames 0 " + script);
    EXPECT_EQ(lines_of(r.out).size(), 43u);
    r = replay(write_script(""));
    EXPECT_EQ(lines_of(r.out).size(), 43u);
    // More frames than lines: no key is down after the last line.
    r = replay("--frames 7 " + write_script("RETURN"));
    EXPECT_EQ(lines_of(r.out).size(), 8u * 43u);
    // A last line without its newline still counts.
    r = replay(write_script("RETURN\nUP"));
    EXPECT_EQ(lines_of(r.out).size(), 3u * 43u);
}

TEST(Replay, RefusesBadScriptsAndOptionsWithStatusTwo)
{
    ProcessResult r = replay(write_script("UP\nRETURN\nJUMP\n"));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(":3:"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("JUMP"), std::string::npos);
    EXPECT_TRUE(r.out.empty());

    r = replay("/nonexistent/script.keys");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("/nonexistent/script.keys"), std::string::npos);
    EXPECT_EQ(replay("--frobnicate x").status, 2);
    EXPECT_EQ(replay("--frames -3 x").status, 2);
    EXPECT_EQ(replay("--every 0 x").status, 2);
    EXPECT_EQ(replay("").status, 2);
    r = replay("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("usage:"), std::string::npos);
}

TEST(Replay, TraceFileAndPictureDumps)
{
    const std::string dir = test_temp_dir();
    const std::string script = write_script("RETURN\nUP\nUP\nUP\n");
    const ProcessResult r = replay("--trace " + dir + "/t.txt --dump " + dir + " --every 2 " + script);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(lines_of(read_whole_file(dir + "/t.txt")).size(), 5u * 43u);
    for (const char* name : {"frame-000000.bmp", "frame-000002.bmp", "frame-000004.bmp"}) {
        const std::string bmp = read_whole_file(dir + "/" + name);
        ASSERT_EQ(bmp.size(), 14u + 40u + 1024u + 640u * 480u) << name;
        EXPECT_EQ(bmp.substr(0, 2), "BM");
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/frame-000001.bmp"));
    // The splash and a game frame are different pictures.
    EXPECT_NE(read_whole_file(dir + "/frame-000000.bmp"), read_whole_file(dir + "/frame-000004.bmp"));
}

// Any change to a rule of the game shows up here as a diff against the
// checked-in trace of a run through level clears, game overs and a rescue.
class Golden : public ::testing::TestWithParam<const char*> {};

TEST_P(Golden, TraceMatchesTheCheckedInRun)
{
    const std::string name = GetParam();
    const ProcessResult r = replay(GOLDEN + "/" + name + ".keys");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string expected = read_whole_file(GOLDEN + "/" + name + ".trace");
    ASSERT_FALSE(expected.empty());
    if (r.out == expected) return;
    const auto got = lines_of(r.out);
    const auto want = lines_of(expected);
    for (size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
        ASSERT_EQ(got[i], want[i]) << "first difference at line " << i + 1 << " (frame " << i / 43 << ")";
    }
    ASSERT_EQ(got.size(), want.size());
}

INSTANTIATE_TEST_SUITE_P(Runs, Golden, ::testing::Values("hunter", "rescuer", "random", "intro"));
