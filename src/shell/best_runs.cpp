// The best runs during a sitting: the keys kept, runs saved at a game's end,
// and their replays queued and run a slice at a time.
#include "shell/best_runs.h"

#include <unistd.h>

#include <ctime>
#include <deque>

#include "base/report.h"
#include "input/keyscript.h"
#include "platform/clock.h"
#include "shell/run_check.h"
#include "shell/runs.h"

// The frames one slice of a replay runs: well under a millisecond of the
// rules alone, so a slice fits in the spare time of any frame.
constexpr size_t REPLAY_SLICE_FRAMES = 256;

// The runs' folder; empty while nothing is kept.
static std::string folder;
// The sitting's keys from start-up, one mask a frame, within a script's bound.
static std::vector<uint8_t> sitting_keys;
// The phase after the previous frame, to see the frame a game ends in.
static int32_t phase_before = PHASE_INTRO;
// The rank the last game took (0: none or not among the best).
static int notice_rank;
static std::deque<std::string> queue;  // run files waiting for their replay
static RunReplay replay;               // the replay under way
static std::string replaying;          // its file's name; empty while none runs
static RunClaim replaying_claim;       // what its first line claims
static uint64_t replaying_hash;        // its bytes' hash, for the index
static bool table_changed;  // a replay finished since the table was last asked about

static void queue_unchecked()
{
    RunTable table;
    std::string why;
    if (!runs_read_table(folder, table, &why)) return;
    for (const RunEntry& e : table.unchecked) queue.push_back(e.name);
}

void best_runs_start(const std::string& where)
{
    best_runs_stop();
    std::string why;
    if (!runs_folder_ready(where, false, &why)) {
        report_warning("best runs", (why + "; no runs are kept").c_str());
        return;
    }
    folder = where;
    // Kept whole from the start, so that no frame allocates.
    sitting_keys.reserve(KEYSCRIPT_MAX_LINES);
    queue_unchecked();
    clock_set_idle_work(best_runs_work);
}

void best_runs_stop()
{
    clock_set_idle_work(nullptr);
    folder.clear();
    sitting_keys.clear();
    queue.clear();
    replaying.clear();
    phase_before = PHASE_INTRO;
    notice_rank = 0;
}

bool best_runs_on() { return !folder.empty(); }

static std::string utc_now()
{
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    char text[32];
    gmtime_r(&now, &t);
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &t);
    return text;
}

static void game_ended(const World& w)
{
    if (w.score <= 0) return;
    const RunClaim claim{w.score, w.level, static_cast<long>(sitting_keys.size()), utc_now(), KESTRAVA_VERSION};
    RunTable table;
    std::string why;
    if (!runs_folder_ready(folder, true, &why) || !runs_read_table(folder, table, &why)) {
        report_warning("best runs", (why + "; no runs are kept").c_str());
        folder.clear();
        return;
    }
    const int rank = runs_rank_of(table, claim);
    if (rank == 0) return;
    std::string name;
    if (!runs_save(folder, sitting_keys, claim, name, &why)) {
        report_warning("best runs", (why + "; no runs are kept").c_str());
        folder.clear();
        return;
    }
    notice_rank = rank;
    queue.push_back(name);
}

void best_runs_frame(const World& w, const KeyState& keys)
{
    if (folder.empty()) return;
    // Past a script's bound the sitting goes on, but no later game is kept:
    // its run could not be played.
    if (sitting_keys.size() >= KEYSCRIPT_MAX_LINES) return;
    sitting_keys.push_back(keyscript_mask(keys.data()));
    const bool in_game = phase_before == PHASE_PLAYING || phase_before == PHASE_LEVEL_CLEAR;
    if (w.phase == PHASE_PLAYING && phase_before != PHASE_PLAYING && phase_before != PHASE_LEVEL_CLEAR) notice_rank = 0;
    if (in_game && (w.phase == PHASE_GAME_OVER || w.quit_requested)) game_ended(w);
    phase_before = w.phase;
}

// Starts the next queued replay; false when none is left.
static bool start_next()
{
    while (!queue.empty()) {
        replaying = queue.front();
        queue.pop_front();
        std::vector<uint8_t> keys;
        std::string why;
        if (!run_file_read(folder + "/" + replaying, keys, replaying_hash, replaying_claim, &why)) {
            if (access((folder + "/" + replaying).c_str(), F_OK) == 0) runs_record_result(folder, replaying, replaying_hash, false, &why);
            continue;
        }
        run_replay_start(replay, std::move(keys));
        return true;
    }
    replaying.clear();
    return false;
}

bool best_runs_work()
{
    if (folder.empty()) return false;
    if (replaying.empty() && !start_next()) return false;
    if (!run_replay_step(replay, REPLAY_SLICE_FRAMES)) return true;
    const bool verified = run_matches_claim(run_replay_reached(replay), replaying_claim);
    std::string why;
    if (!runs_record_result(folder, replaying, replaying_hash, verified, &why)) {
        report_warning("best runs", why.c_str());
    }
    replaying.clear();
    table_changed = true;
    return true;
}

int best_runs_notice_rank() { return notice_rank; }

std::vector<std::string> best_runs_lines()
{
    RunTable table;
    std::string why;
    if (folder.empty()) return {};
    runs_read_table(folder, table, &why);  // a folder not made yet holds no runs
    return runs_table_lines(table);
}

bool best_runs_changed()
{
    const bool changed = table_changed;
    table_changed = false;
    return changed;
}
