// Recorded runs and their playback, on the headless edge: a frame's keys are
// fixed at its first poll, the recording is the run frame by frame, and the
// replay runner given the recording traces the very run that made it.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "game/rules.h"
#include "input/keyboard.h"
#include "input/keyscript.h"
#include "platform/clock.h"
#include "platform/headless.h"
#include "process.h"
#include "base/report.h"
#include "shell/shell.h"

// The replay runner's own trace printer, so that the run and its replay are
// printed by the same code.
#include "trace.h"

namespace {

const std::string REPLAY = KESTRAVA_REPLAY;

void hold(uint8_t mask)
{
    std::array<uint8_t, 256> keys{};
    keyscript_key_state(mask, keys.data());
    headless_set_keys(keys.data());
}

// The next frame as run_frame starts one: at least 30 ms after the last.
void next_frame()
{
    clock_wait_until(30);
    clock_mark();
}

uint8_t seen() { return keyscript_mask(world.key_state.data()); }

// Every test leaves the keyboard live for the rest of the suite.
class Recording : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless_reset();
        world = World{};
        ASSERT_EQ(keyboard_init(), 1);
        path = test_temp_dir() + "/run.keys";
        file = std::fopen(path.c_str(), "w");
        ASSERT_NE(file, nullptr);
    }
    void TearDown() override
    {
        keyboard_go_live();
        keyboard_shutdown();
        if (file) std::fclose(file);
    }
    std::string close_and_read()
    {
        EXPECT_EQ(keyboard_go_live(), 1);
        std::fclose(file);
        file = nullptr;
        return read_whole_file(path);
    }

    std::string path;
    std::FILE* file = nullptr;
};

TEST_F(Recording, EveryPollOfAFrameSeesItsFirstPoll)
{
    keyboard_record(file);
    clock_mark();
    hold(SCRIPT_RETURN);
    keyboard_poll(world.key_state);
    EXPECT_EQ(seen(), SCRIPT_RETURN);
    // RETURN let go and SPACE pressed between the top of the frame and the
    // intro's poll: the frame still holds RETURN alone.
    hold(SCRIPT_SPACE);
    keyboard_poll(world.key_state);
    EXPECT_EQ(seen(), SCRIPT_RETURN);
    keyboard_poll(world.key_state);
    EXPECT_EQ(seen(), SCRIPT_RETURN);

    next_frame();
    keyboard_poll(world.key_state);
    EXPECT_EQ(seen(), SCRIPT_SPACE);
    hold(SCRIPT_UP | SCRIPT_LEFT);
    next_frame();
    keyboard_poll(world.key_state);
    keyboard_poll(world.key_state);
    EXPECT_EQ(seen(), SCRIPT_UP | SCRIPT_LEFT);
    hold(0);
    next_frame();
    keyboard_poll(world.key_state);
    EXPECT_EQ(seen(), 0);

    // One line a frame, however often it polled.
    EXPECT_EQ(close_and_read(), "RETURN\nSPACE\nUP LEFT\n\n");

    // Live again: each poll reads the keys afresh.
    hold(SCRIPT_ESC);
    keyboard_poll(world.key_state);
    EXPECT_EQ(seen(), SCRIPT_ESC);
    hold(SCRIPT_DOWN);
    keyboard_poll(world.key_state);
    EXPECT_EQ(seen(), SCRIPT_DOWN);
}

TEST_F(Recording, OnlyTheScriptKeysAreRecordedAndSeen)
{
    keyboard_record(file);
    std::array<uint8_t, 256> keys{};
    keys[DIK_SPACE] = 0x80;
    keys[0x58] = 0x80;  // F12, the screenshot key
    keys[0x1E] = 0x80;  // A
    headless_set_keys(keys.data());
    clock_mark();
    keyboard_poll(world.key_state);
    // What the game sees is exactly what a replay of the line gives it.
    std::array<uint8_t, 256> want{};
    keyscript_key_state(SCRIPT_SPACE, want.data());
    EXPECT_EQ(world.key_state, want);
    EXPECT_EQ(close_and_read(), "SPACE\n");
}

TEST_F(Recording, AFileThatCannotTakeTheLinesIsReported)
{
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    keyboard_record(full);
    for (int f = 0; f < 3; ++f) {
        hold(SCRIPT_UP);
        next_frame();
        keyboard_poll(world.key_state);
    }
    EXPECT_EQ(keyboard_go_live(), 0);
    std::fclose(full);
}

TEST_F(Recording, PlaybackHoldsEachLineAFrameAndHearsOnlyEsc)
{
    keyboard_play({SCRIPT_RETURN, SCRIPT_UP | SCRIPT_SPACE, 0, SCRIPT_LEFT});
    // The player leans on every key but ESC: none of it reaches the game.
    std::array<uint8_t, 256> everything{};
    everything.fill(0x80);
    everything[DIK_ESCAPE] = 0;
    headless_set_keys(everything.data());

    EXPECT_FALSE(keyboard_play_finished());
    clock_mark();
    keyboard_poll(world.key_state);
    keyboard_poll(world.key_state);
    EXPECT_EQ(seen(), SCRIPT_RETURN);
    EXPECT_EQ(world.key_state[0x1E], 0) << "a key no script can name";
    next_frame();
    keyboard_poll(world.key_state);
    EXPECT_EQ(seen(), SCRIPT_UP | SCRIPT_SPACE);
    next_frame();
    keyboard_poll(world.key_state);
    EXPECT_EQ(seen(), 0);
    EXPECT_EQ(keyboard_played_frames(), 3u);
    EXPECT_FALSE(keyboard_play_finished());

    // ESC is the player's way out, added to the frame's line.
    everything[DIK_ESCAPE] = 0x80;
    headless_set_keys(everything.data());
    next_frame();
    keyboard_poll(world.key_state);
    EXPECT_EQ(seen(), SCRIPT_LEFT | SCRIPT_ESC);
    EXPECT_TRUE(keyboard_play_finished());

    // Past the end no key is down but ESC.
    hold(0);
    next_frame();
    keyboard_poll(world.key_state);
    EXPECT_EQ(seen(), 0);
}

// --- whole runs ---------------------------------------------------------------

// A long scripted run: the intro left with RETURN, then keys held for a few
// frames at a time, RETURN now and then for the next level or a new game,
// and ESC at the end.
std::vector<uint8_t> scripted_run(int frames)
{
    std::vector<uint8_t> masks;
    uint32_t state = 12345;
    auto next = [&] {
        state = state * 1103515245u + 12345u;
        return state >> 16;
    };
    for (int i = 0; i < 40; ++i) masks.push_back(0);
    masks.push_back(SCRIPT_RETURN);
    while (static_cast<int>(masks.size()) < frames - 1) {
        uint8_t mask = static_cast<uint8_t>(next() & (SCRIPT_SPACE | SCRIPT_UP | SCRIPT_DOWN | SCRIPT_LEFT | SCRIPT_RIGHT));
        if (next() % 9 == 0) mask |= SCRIPT_RETURN;
        const int length = 1 + static_cast<int>(next() % 12);
        for (int i = 0; i < length; ++i) masks.push_back(mask);
    }
    masks.resize(static_cast<size_t>(frames - 1));
    masks.push_back(SCRIPT_ESC);
    return masks;
}

std::string trace_of_frame(long frame)
{
    static char block[TRACE_BLOCK_MAX];
    return std::string(block, trace_block(frame, block));
}

// Runs the game headless as the shell's loop does, the keys set at the edge
// before each frame; its trace.
std::string run_game(const std::vector<uint8_t>& masks)
{
    std::string trace = trace_of_frame(0);
    for (size_t f = 0; f < masks.size() && !world.quit_requested; ++f) {
        hold(masks[f]);
        run_frame();
        trace += trace_of_frame(static_cast<long>(f + 1));
    }
    return trace;
}

// The phases a trace went through, from its F lines.
std::set<int> phases_of(const std::string& trace)
{
    std::set<int> phases;
    std::istringstream lines(trace);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string tag;
        long frame = 0;
        int phase = 0;
        if (words >> tag >> frame >> phase && tag == "F") phases.insert(phase);
    }
    return phases;
}

// The game as a fresh process finds it: the World empty, the generator at its
// first state, the virtual clock at 0.
void fresh_process()
{
    headless_reset();
    world = World{};
    rand_state = 1;
    report_clear();
}

class WholeRun : public Recording {
protected:
    void SetUp() override
    {
        Recording::SetUp();
        fresh_process();
    }
    void TearDown() override
    {
        shutdown_all();
        Recording::TearDown();
    }
};

TEST_F(WholeRun, TheReplayOfARecordingTracesTheRunItself)
{
    const std::vector<uint8_t> masks = scripted_run(2400);
    keyboard_record(file);
    ASSERT_EQ(startup_all(), 1) << report_text();
    const std::string trace = run_game(masks);
    ASSERT_TRUE(world.quit_requested);
    const std::string recording = close_and_read();

    std::string expected;
    for (uint8_t mask : masks) expected += keyscript_line(mask) + "\n";
    EXPECT_EQ(recording, expected);

    // The run went through more than the intro and the play.
    const std::set<int> phases = phases_of(trace);
    EXPECT_TRUE(phases.count(PHASE_INTRO) && phases.count(PHASE_PLAYING)) << phases.size();
    EXPECT_TRUE(phases.count(PHASE_GAME_OVER) || phases.count(PHASE_LEVEL_CLEAR)) << phases.size();

    const std::string replayed = test_temp_dir() + "/replayed.trace";
    const ProcessResult r = run_process(REPLAY + " --trace " + replayed + " " + path);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string replay_trace = read_whole_file(replayed);
    ASSERT_EQ(replay_trace.size(), trace.size());
    EXPECT_TRUE(replay_trace == trace) << "the replay differs from the recorded run";
}

TEST_F(WholeRun, PlaybackRunsTheRecordedGameWhateverIsHeld)
{
    const std::vector<uint8_t> masks = scripted_run(900);
    ASSERT_EQ(startup_all(), 1) << report_text();
    const std::string original = run_game(masks);
    shutdown_all();

    fresh_process();
    keyboard_play(masks);
    ASSERT_EQ(startup_all(), 1) << report_text();
    // Held throughout, and ignored: only the script plays.
    std::array<uint8_t, 256> keys{};
    keys[DIK_UP] = keys[DIK_SPACE] = keys[DIK_RETURN] = 0x80;
    std::string played = trace_of_frame(0);
    long frame = 0;
    while (!keyboard_play_finished() && !world.quit_requested) {
        headless_set_keys(keys.data());
        run_frame();
        played += trace_of_frame(++frame);
    }
    EXPECT_EQ(frame, static_cast<long>(masks.size()));
    EXPECT_TRUE(played == original) << "the playback left the recorded run";
}

}  // namespace
