// Recorded runs and their playback, on the headless edge: a frame's keys are
// fixed at its first poll and the recording is the run frame by frame. (The
// replay runner plays a recording through the shell's own frame: the golden
// runs.)
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "game_fixture.h"
#include "game/rules.h"
#include "input/keyboard.h"
#include "input/keyscript.h"
#include "platform/clock.h"
#include "platform/headless.h"
#include "shell/shell.h"
#include "support/process.h"

namespace {

void hold(uint8_t mask)
{
    std::array<uint8_t, 256> keys{};
    keyscript_key_state(mask, keys.data());
    headless_set_keys(keys.data());
}

// The next frame as the shell starts one, and its first poll.
uint8_t poll_next_frame()
{
    clock_wait_until(FRAME_MS);
    clock_mark();
    keyboard_poll(world.key_state);
    return keyscript_mask(world.key_state.data());
}

uint8_t poll() { return keyboard_poll(world.key_state), keyscript_mask(world.key_state.data()); }

// A fresh game with a file to record into.
class Recording : public FreshProcess {
protected:
    void SetUp() override
    {
        FreshProcess::SetUp();
        file = std::fopen(path.c_str(), "w");
        ASSERT_NE(file, nullptr);
    }
    void TearDown() override
    {
        FreshProcess::TearDown();
        if (file) std::fclose(file);
    }
    std::string close_and_read()
    {
        EXPECT_EQ(keyboard_go_live(), 1);
        std::fclose(file);
        file = nullptr;
        return file_text(path);
    }

    TempDir dir;
    std::string path = dir.file("run.keys");
    std::FILE* file = nullptr;
};

TEST_F(Recording, EveryPollOfAFrameSeesItsFirstPollAndOnlyScriptKeys)
{
    keyboard_record(file);
    clock_mark();
    hold(SCRIPT_RETURN);
    EXPECT_EQ(poll(), SCRIPT_RETURN);
    // RETURN let go and SPACE pressed between the top of the frame and the
    // intro's poll: the frame still holds RETURN alone.
    hold(SCRIPT_SPACE);
    EXPECT_EQ(poll(), SCRIPT_RETURN);
    EXPECT_EQ(poll_next_frame(), SCRIPT_SPACE);
    hold(SCRIPT_UP | SCRIPT_LEFT);
    EXPECT_EQ(poll_next_frame(), SCRIPT_UP | SCRIPT_LEFT);
    EXPECT_EQ(poll(), SCRIPT_UP | SCRIPT_LEFT);
    // ESC, a run's last line, is recorded; F12 and A held too are neither recorded nor seen.
    std::array<uint8_t, 256> keys{};
    keys[DIK_SPACE] = keys[DIK_ESCAPE] = keys[0x58] = keys[0x1E] = 0x80;
    headless_set_keys(keys.data());
    poll_next_frame();
    std::array<uint8_t, 256> want{};
    keyscript_key_state(SCRIPT_SPACE | SCRIPT_ESC, want.data());
    EXPECT_EQ(world.key_state, want);
    // A frame marked in the same millisecond (the browser catching up) is a
    // frame of its own.
    hold(SCRIPT_DOWN);
    clock_mark();
    EXPECT_EQ(poll(), SCRIPT_DOWN);

    // One line a frame, however often it polled.
    EXPECT_EQ(close_and_read(), "RETURN\nSPACE\nUP LEFT\nESC SPACE\nDOWN\n");
    // Live again: each poll reads the keys afresh.
    hold(SCRIPT_ESC);
    EXPECT_EQ(poll(), SCRIPT_ESC);
    hold(SCRIPT_DOWN);
    EXPECT_EQ(poll(), SCRIPT_DOWN);
}

TEST_F(Recording, AFileThatCannotTakeTheLinesIsReported)
{
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    keyboard_record(full);
    hold(SCRIPT_UP);
    for (int f = 0; f < 3; ++f) poll_next_frame();
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
    clock_mark();
    EXPECT_EQ(poll(), SCRIPT_RETURN);
    EXPECT_EQ(world.key_state[0x1E], 0) << "a key no script can name";
    EXPECT_EQ(poll_next_frame(), SCRIPT_UP | SCRIPT_SPACE);
    EXPECT_EQ(poll_next_frame(), 0);
    EXPECT_TRUE(keyboard_played_frames() == 3 && !keyboard_play_finished());
    // ESC is the player's way out, added to the frame's line.
    everything[DIK_ESCAPE] = 0x80;
    headless_set_keys(everything.data());
    EXPECT_EQ(poll_next_frame(), SCRIPT_LEFT | SCRIPT_ESC);
    EXPECT_TRUE(keyboard_play_finished());
    hold(0);
    EXPECT_EQ(poll_next_frame(), 0) << "past the end no key is down but ESC";
}

}  // namespace
