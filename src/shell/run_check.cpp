// A kept run replayed on the rules alone: nothing is drawn or sounded, so an
// hour of play replays in a fraction of a second.
#include "shell/run_check.h"

#include <utility>

#include "game/rules.h"
#include "input/keyscript.h"

// The frame's output is thrown away; one buffer serves every replay.
static FrameOutput discarded;

// The game's generator is one value of the process; a replay swaps its own
// in for its frames and back out, so the game played meanwhile draws the
// numbers it would have drawn anyway.
static void swap_generator(RunReplay& replay) { std::swap(rand_state, replay.rand_state); }

void run_replay_start(RunReplay& replay, std::vector<uint8_t> keys)
{
    replay.world = World{};
    replay.rand_state = 1;
    replay.keys = std::move(keys);
    replay.next = 0;
    swap_generator(replay);
    output_clear(discarded);
    reset_level(replay.world, NEW_GAME, discarded);
    start_intro(replay.world);
    swap_generator(replay);
    replay.phase_before = replay.world.phase;
}

bool run_replay_step(RunReplay& replay, size_t frames)
{
    World& w = replay.world;
    swap_generator(replay);
    KeyState keys{};
    for (size_t i = 0; i < frames && replay.next < replay.keys.size() && !w.quit_requested; ++i) {
        keyscript_key_state(replay.keys[replay.next++], keys.data());
        replay.phase_before = w.phase;
        output_clear(discarded);
        run_frame(w, keys, discarded);
    }
    swap_generator(replay);
    return replay.next >= replay.keys.size() || w.quit_requested;
}

RunReached run_replay_reached(const RunReplay& replay)
{
    const World& w = replay.world;
    const bool game_over_began = w.phase == PHASE_GAME_OVER && replay.phase_before != PHASE_GAME_OVER;
    return RunReached{w.score, w.level, static_cast<long>(replay.next),
                      replay.next > 0 && (game_over_began || w.quit_requested != 0)};
}

RunReached run_replay(std::vector<uint8_t> keys)
{
    static RunReplay replay;  // a World is large for the stack of a test thread
    run_replay_start(replay, std::move(keys));
    while (!run_replay_step(replay, 4096)) {
    }
    return run_replay_reached(replay);
}
