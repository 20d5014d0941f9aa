// The best runs: the player's best games kept as key scripts in a folder of
// their own, each one ranked only while replaying it reaches what its first
// line claims. Beside the runs an index remembers each file's result by its
// content and the game's version, so the table opens without replaying, and
// which files the game wrote itself: it deletes no other.
//
// A run file is a key script from the sitting's start-up to the frame its
// game ended; its first line holds frame 1's keys and, as its comment, the
// claim: "# kestrava run: score 1230 level 4 frame 5321 date
// 2026-12-07T16:58:03Z version 0.1.0".
//
// Two games ending together lose nothing: every change of the index is made
// under a lock on a file beside it, and every file is written beside its
// place and renamed into it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// How many runs are ranked, and kept of the game's own.
constexpr size_t BEST_RUNS = 10;
// Larger than an hour's run by far; a bigger file is not one of ours to read.
constexpr size_t RUN_FILE_LIMIT = size_t{64} << 20;
// The most run files looked at in the folder.
constexpr size_t RUN_FILES_LOOKED_AT = 200;

struct RunClaim {
    int score;
    int level;
    long end_frame;        // the frame the game ended, from 1 at start-up: the file's line count
    std::string date;      // UTC, 2026-12-07T16:58:03Z
    std::string version;   // the game's
};

enum RunResult { RUN_UNCHECKED, RUN_VERIFIED, RUN_NOT_VERIFIED };

struct RunEntry {
    std::string name;    // the file's name in the folder
    bool claim_read;     // false: the first line claims nothing readable
    RunClaim claim;
    uint64_t hash;       // of the file's bytes
    RunResult result;    // for this content and this version of the game
    bool own;            // written by the game
};

// The folder as it stands: the verified runs best first (at most
// BEST_RUNS), those that failed or claim nothing, and those not yet replayed.
struct RunTable {
    std::vector<RunEntry> ranked;
    std::vector<RunEntry> not_verified;
    std::vector<RunEntry> unchecked;
};

// $XDG_DATA_HOME/kestrava/runs, else ~/.local/share/kestrava/runs; empty
// when neither names an absolute folder.
std::string runs_default_folder();

// The claim as the run's first line says it, after frame 1's keys.
std::string run_claim_comment(const RunClaim& claim);
// Reads the claim from a run file's first line; false when it holds none.
bool run_claim_parse(const std::string& first_line, RunClaim& claim);
// Better runs first: higher score, then higher level, then the game ended
// sooner, then the earlier date, then the name.
bool run_ranks_before(const RunEntry& a, const RunEntry& b);
// FNV-1a of the bytes: the index's key, not a proof (the proof is a replay).
uint64_t run_hash(const uint8_t* bytes, size_t size);

// Checks the folder is one the game can read and write; when it is missing,
// makes it (and its parents) if `make`, else takes it as fine. Returns 1, or
// 0 with *why in the system's words.
int runs_folder_ready(const std::string& folder, bool make, std::string* why);
// The folder's run files with their claims and remembered results.
int runs_read_table(const std::string& folder, RunTable& table, std::string* why);
// The rank (from 1) a run of this score, level and end frame would take
// among the ranked and the game's own unchecked runs; 0 when not among the
// best.
int runs_rank_of(const RunTable& table, const RunClaim& claim);
// Saves the sitting's keys up to the claim's end frame as a new run file of
// the game's own, unchecked. Returns 1 with its name, or 0 with *why.
int runs_save(const std::string& folder, const std::vector<uint8_t>& keys, const RunClaim& claim,
              std::string& name, std::string* why);
// Records a replay's result for the file's content and this version; then
// deletes the game's own verified runs ranked below the best. Returns 1, or
// 0 with *why.
int runs_record_result(const std::string& folder, const std::string& name, uint64_t hash, bool verified,
                       std::string* why);
// Replays every run not yet replayed for this version and records each
// result: what `kestrava --best` does before it prints.
void runs_check_unchecked(const std::string& folder);
// A run file's keys, its bytes' hash and its claim, for a replay. Returns 1,
// or 0 with *why (unreadable, not a key script, no claim).
int run_file_read(const std::string& path, std::vector<uint8_t>& keys, uint64_t& hash, RunClaim& claim,
                  std::string* why);
// Whether a replay's reach matches the claim.
struct RunReached;
bool run_matches_claim(const RunReached& reached, const RunClaim& claim);

// The table as lines of text: a heading, one line a ranked run (rank, score,
// level, date, length of play), then the others by name.
std::vector<std::string> runs_table_lines(const RunTable& table);
