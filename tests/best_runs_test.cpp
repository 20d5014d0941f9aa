// The best runs: a sitting played through the real shell keeps its games,
// each proved by its own replay; an edited run is refused, by the table and
// by `kestrava-replay --verify`; the game keeps ten of its own and deletes
// nothing else; two games ending at once both stay.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

#include "game_fixture.h"
#include "input/keyscript.h"
#include "shell/best_runs.h"
#include "shell/runs.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

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
        testing::internal::CaptureStderr();
        best_runs_start(folder);
        keyboard_play(two_game_sitting());
        EXPECT_EQ(main_loop(), 0);
        const std::string said = testing::internal::GetCapturedStderr();
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
