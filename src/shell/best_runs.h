// The best runs as the game keeps them while the player plays: the sitting's
// keys from start-up, a run saved when its game ends among the best, and its
// replay run in slices inside the frames' waits, so that no player ever
// waits for a proof.
#pragma once

#include <string>
#include <vector>

#include "game/world.h"

// Keeps the sitting's keys and saves runs in `folder`, made at the first
// save. A folder that cannot be made, read or written gives one warning and
// the game plays on without a table. Runs in the folder not yet replayed for this version are queued.
void best_runs_start(const std::string& folder);
// Nothing is kept and no table is shown (--no-best-runs, a run played back).
void best_runs_stop();
bool best_runs_on();

// After each frame of the sitting, with the frame's keys: a game that ended
// in it (the first game-over frame, or ESC during a game) is saved when it
// ranks among the best.
void best_runs_frame(const World& w, const KeyState& keys);
// One slice of a queued replay; false when none is left to run.
bool best_runs_work();
// The rank the last game took, until the next game starts (0: none).
int best_runs_notice_rank();
// The table's lines as they stand now.
std::vector<std::string> best_runs_lines();
// Whether a replay finished since the last call: a table on show is stale.
bool best_runs_changed();
