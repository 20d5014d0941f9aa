// Replaying a kept run on the rules alone, to see what it really reaches: the
// proof behind every entry of the best runs. It runs a World of its own from
// start-up as the game does (a new game, then the intro) and keeps its own
// generator state, so it can run in slices between the player's frames
// without touching the game being played.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "game/world.h"

// What a replay reached after its last frame.
struct RunReached {
    int score;
    int level;
    long frames;  // frames run: the script's lines, or fewer when ESC came first
    bool ended;   // its last frame began a game over or saw ESC: a game ended there
};

// A replay under way.
struct RunReplay {
    World world;
    uint32_t rand_state;       // the replay's own generator state
    std::vector<uint8_t> keys;  // one mask a frame
    size_t next;               // frames run so far
    int32_t phase_before;      // the phase before the last frame run
};

// Sets up the World as start-up does, before the first frame.
void run_replay_start(RunReplay& replay, std::vector<uint8_t> keys);
// Runs at most `frames` more frames; true when the replay is over (every
// line run, or ESC seen).
bool run_replay_step(RunReplay& replay, size_t frames);
RunReached run_replay_reached(const RunReplay& replay);
// The whole replay at once.
RunReached run_replay(std::vector<uint8_t> keys);
