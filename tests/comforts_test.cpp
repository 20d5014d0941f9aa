// The player's comforts, recordings and best runs over the headless edge: a
// paused game runs no frame and ESC still quits; steady colours hold and stay
// bright; both clocks end a frame on time; a recording is the run frame by
// frame (played back through the shell's own frame: the golden runs); a best
// run is kept, proved by its own replay, refused when edited, and deleted
// only by the game that wrote it.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "game_fixture.h"
#include "graphics/display.h"
#include "input/keyscript.h"
#include "platform/clock.h"
#include "shell/best_runs.h"
#include "shell/presenter.h"
#include "shell/runs.h"
#include "support/process.h"

namespace {

class Comforts : public FreshProcess {
protected:
    void TearDown() override
    {
        FreshProcess::TearDown();
        shell_use_settings(Settings{}, "");
    }
    TempDir dir;
};

constexpr PlatformEvent NONE = PLATFORM_EVENT_NONE;
constexpr PlatformEvent PAUSE = PLATFORM_EVENT_PAUSE;
constexpr PlatformEvent OTHER = PLATFORM_EVENT_OTHER;
constexpr PlatformEvent FOCUS_LOST = PLATFORM_EVENT_FOCUS_LOST;
constexpr PlatformEvent QUIT = PLATFORM_EVENT_QUIT;
constexpr PlatformEvent KEYS = PLATFORM_EVENT_KEYS;

// Each pass of the loop takes one event and runs one frame unless paused;
// the recording counts the frames. ESC quits a paused game, held or tapped;
// F1's keys pause it until F1 or P again.
TEST_F(Comforts, APausedGameRunsNoFrameAndEscStillQuits)
{
    struct Case {
        std::vector<PlatformEvent> events;
        bool focus_pause;
        bool esc_held;
        long frames;
    };
    const Case cases[] = {
        {{NONE, NONE, PAUSE, OTHER, OTHER, OTHER, OTHER, PAUSE, NONE, QUIT}, true, false, 4},
        {{NONE, FOCUS_LOST, OTHER, OTHER, OTHER, PAUSE, QUIT}, true, false, 2},
        {{NONE, FOCUS_LOST, OTHER, OTHER, OTHER, QUIT}, false, false, 5},
        {{NONE, KEYS, OTHER, KEYS, KEYS, PAUSE, OTHER, QUIT}, true, false, 4},
        {{PAUSE}, true, true, 0},  // nothing else queued: only ESC ends this loop
        {{PAUSE, OTHER, PLATFORM_EVENT_ESCAPE, OTHER, PAUSE, QUIT}, true, false, 0},  // a tap, gone before the look
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.events.size() << " events");
        std::array<uint8_t, 256> keys{};
        keys[DIK_ESCAPE] = c.esc_held ? 0x80 : 0;
        headless_set_keys(keys.data());
        std::FILE* file = std::fopen(dir.file("run.keys").c_str(), "w");
        ASSERT_NE(file, nullptr);
        keyboard_record(file);
        Settings settings;
        settings.focus_pause = c.focus_pause;
        shell_use_settings(settings, "");
        ASSERT_EQ(startup_all(), 1) << report_text();
        for (PlatformEvent e : c.events) headless_post_event(e);
        EXPECT_EQ((std::pair{main_loop(), keyboard_go_live()}), std::pair(0, 1));
        std::fclose(file);
        EXPECT_EQ(count_lines(dir.read("run.keys")), c.frames);
        TearDown();
        SetUp();
    }
    // The splash ends at once, the game with it, on ESC or the close button.
    for (PlatformEvent e : {PLATFORM_EVENT_ESCAPE, QUIT}) {
        headless_post_event(e);
        EXPECT_EQ(startup_all(), STARTUP_QUIT);
        TearDown();
        SetUp();
    }
}

TEST_F(Comforts, SteadyColoursHoldHalfASecondAndAreNeverDark)
{
    Settings steady;
    steady.steady_colours = true;
    shell_use_settings(steady, "");
    ASSERT_EQ(startup_all(), 1) << report_text();
    uint32_t last = 0;
    uint32_t changed_at = 0;
    int changes = 0;
    for (uint32_t ms = 0; ms < 20000; ms += FRAME_MS) {
        headless_reset();
        for (uint32_t t = 0; t < ms; ++t) platform_spin();
        clock_mark();
        // The darkest draw there is, and random ones.
        const uint32_t drawn = ms % 7 == 0 ? 0u : random_colour();
        const uint32_t shown = shown_colour(FLASHING_GAME_OVER, drawn);
        ASSERT_GE(colour_luminance(shown), STEADY_MIN_LUMINANCE) << std::hex << shown;
        if (ms > 0 && shown != last) {
            EXPECT_GE(ms - changed_at, STEADY_COLOUR_MS) << ms;
            changed_at = ms;
            ++changes;
        }
        last = shown;
    }
    EXPECT_GE(changes, 20) << "the colour still changes";
    set_steady_colours(false);
    EXPECT_EQ(shown_colour(FLASHING_GAME_OVER, 0x010203u), 0x010203u);
}

// Past the frame's end a wait returns at once; a mark 10 ms before the tick
// count wraps is waited out 20 ms after it.
TEST_F(Comforts, BothClocksEndEachFrameOnTimeAcrossTheWrap)
{
    for (bool busy_clock : {false, true}) {
        clock_set_busy(busy_clock);
        for (uint32_t busy : {0u, 20u, 27u, 28u, 29u, 30u, 45u}) {
            headless_reset();
            clock_mark();
            for (uint32_t t = 0; t < busy; ++t) platform_spin();
            clock_wait_until(FRAME_MS);
            EXPECT_EQ(platform_ticks(), std::max(busy, FRAME_MS)) << busy << (busy_clock ? " busy" : "");
        }
        headless_reset();
        frame_start = 0xFFFFFFF6u;
        clock_wait_until(FRAME_MS);
        EXPECT_EQ(platform_ticks(), 20u) << (busy_clock ? "busy" : "");
    }
    clock_set_busy(false);
}

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

// Two games: the hunter clears level 1, then its ship, left alone, falls into
// the star (game over at frame 926: score 55, level 2); RETURN starts a
// second game, which spinning and firing takes to 20 points before an
// asteroid ends it (frame 1757); ESC on its game-over screen ends no game.
std::vector<uint8_t> two_game_sitting()
{
    std::vector<uint8_t> keys;
    KeyScriptError bad{};
    EXPECT_EQ(keyscript_load(KESTRAVA_GOLDEN_DIR "/hunter.keys", keys, bad), 1);
    keys.resize(keys.size() + 600, 0);
    keys.push_back(SCRIPT_RETURN);
    keys.resize(keys.size() + 1500, SCRIPT_SPACE | SCRIPT_LEFT);
    keys.push_back(SCRIPT_ESC);
    return keys;
}

const RunClaim FIRST_GAME{55, 2, 926, "2026-01-01T00:00:00Z", KESTRAVA_VERSION};

RunTable table_of(const TempDir& runs)
{
    RunTable table;
    std::string why;
    EXPECT_EQ(runs_read_table(runs.path(), table, &why), 1) << why;
    return table;
}

std::tuple<int, int, long> reach(const RunEntry& e) { return {e.claim.score, e.claim.level, e.claim.end_frame}; }

std::string save(const TempDir& runs, const RunClaim& claim)
{
    std::string name, why;
    EXPECT_EQ(runs_save(runs.path(), two_game_sitting(), claim, name, &why), 1) << why;
    return name;
}

class BestRuns : public FreshProcess {};

TEST_F(BestRuns, APlayedSittingKeepsBothGamesEachVerified)
{
    TempDir runs;
    shell_use_settings(Settings{}, "");
    ASSERT_EQ(startup_all(), 1) << report_text();
    best_runs_start(runs.path());
    keyboard_play(two_game_sitting());
    main_loop();
    const int last_rank = best_runs_notice_rank();
    best_runs_stop();
    const RunTable table = table_of(runs);
    ASSERT_EQ(table.ranked.size(), 2u);
    EXPECT_EQ(reach(table.ranked[0]), std::make_tuple(55, 2, 926L));
    EXPECT_EQ(reach(table.ranked[1]), std::make_tuple(20, 1, 1757L));
    EXPECT_TRUE(table.ranked[0].own && table.unchecked.empty() && table.not_verified.empty());
    EXPECT_EQ(last_rank, 2);
}

TEST_F(BestRuns, AFolderTheGameCannotUseIsOneWarningAndTheGamePlaysOn)
{
    TempDir dir;
    const std::string file = dir.write("runs", "a file where the folder would be\n");
    for (const std::string& folder : {file, file + "/runs"}) {
        SCOPED_TRACE(folder);
        shell_use_settings(Settings{}, "");
        ASSERT_EQ(startup_all(), 1) << report_text();
        const std::string said = stderr_of([&] {
            best_runs_start(folder);
            keyboard_play(two_game_sitting());
            EXPECT_EQ(main_loop(), 0);
        });
        EXPECT_EQ(count_lines(said), 1) << said;
        EXPECT_FALSE(best_runs_on());
        TearDown();
        SetUp();
    }
    EXPECT_EQ(dir.read("runs"), "a file where the folder would be\n");
}

TEST(BestRunsProof, AnEditedRunIsNotVerifiedByTheTableOrByVerify)
{
    TempDir made;
    const std::string text = made.read(save(made, FIRST_GAME));
    std::string key_changed = text;
    const size_t line_400 = [&] {
        size_t at = 0;
        for (int i = 1; i < 400; ++i) at = key_changed.find('\n', at) + 1;
        return at;
    }();
    key_changed.replace(line_400, key_changed.find('\n', line_400) - line_400, "ESC");
    std::string score_raised = text;
    score_raised.replace(score_raised.find("score 55"), 8, "score 56");
    const struct {
        const char* what;
        std::string text;
        int exit;
    } cases[] = {{"as saved", text, 0}, {"one key changed", key_changed, 1}, {"score raised", score_raised, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir runs;
        const std::string path = runs.write("shared.keys", c.text);
        runs_check_unchecked(runs.path());
        const RunTable table = table_of(runs);
        EXPECT_EQ(table.ranked.size(), c.exit == 0 ? 1u : 0u);
        EXPECT_EQ(table.not_verified.size(), c.exit == 0 ? 0u : 1u);
        EXPECT_EQ(run_program({KESTRAVA_REPLAY, "--verify", path}).status, c.exit);
    }
}

TEST(BestRunsStore, TheGameKeepsTenOfItsOwnAndDeletesNoOtherFile)
{
    TempDir runs;
    runs.write("notes.txt", "mine\n");
    RunClaim claim = FIRST_GAME;
    for (int i = 0; i < 11; ++i) {
        claim.date = "2026-01-01T00:00:0" + std::string(1, char('0' + i % 10)) + "Z";
        if (i == 10) claim.date = "2026-01-02T00:00:00Z";
        save(runs, claim);
    }
    // A copy the player dropped in, the latest of all and so the lowest.
    runs.write("zz-shared.keys", runs.read(save(runs, claim)));
    runs_check_unchecked(runs.path());
    const RunTable table = table_of(runs);
    EXPECT_EQ(table.ranked.size(), BEST_RUNS);
    size_t own = 0;
    for (const auto& e : fs::directory_iterator(runs.dir)) own += e.path().filename().string().rfind("run-", 0) == 0;
    EXPECT_EQ(own, BEST_RUNS);
    EXPECT_TRUE(fs::exists(runs.dir / "notes.txt") && fs::exists(runs.dir / "zz-shared.keys"));
}

TEST(BestRunsStore, GamesEndingTogetherAllStayTheGamesOwn)
{
    // Five games end in each of two processes at once; an index update lost
    // to the other's would leave a run unowned or unchecked.
    TempDir runs;
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    pid_t children[2];
    for (pid_t& child : children) {
        child = fork();
        if (child == 0) {
            char byte;
            close(go[1]);
            bool ok = read(go[0], &byte, 1) == 0;  // the pipe closing starts both at once
            std::string name, why;
            for (int i = 0; i < 5; ++i) ok = runs_save(runs.path(), two_game_sitting(), FIRST_GAME, name, &why) && ok;
            runs_check_unchecked(runs.path());
            _exit(ok ? 0 : 1);
        }
    }
    close(go[0]);
    close(go[1]);
    for (pid_t child : children) {
        int status = -1;
        waitpid(child, &status, 0);
        EXPECT_EQ(status, 0);
    }
    const RunTable table = table_of(runs);
    ASSERT_EQ(table.ranked.size(), BEST_RUNS);
    for (const RunEntry& e : table.ranked) EXPECT_TRUE(e.own) << e.name;
}

}  // namespace
