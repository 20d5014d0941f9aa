// The rules on their own: a fresh World, the generator back at its first
// state, and a frame's output to look at. The rules draw, sound and wait for
// nothing, so a test steps them and reads what they produced.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>

#include "base/report.h"
#include "game/rules.h"
#include "input/keyboard.h"
#include "platform/headless.h"
#include "shell/shell.h"

// What the last step or frame produced.
inline FrameOutput out;

inline void fresh_world()
{
    world = World{};
    rand_state = 1;
    output_clear(out);
}

// A fresh World with a new game set up, as start-up leaves it before the
// intro; every track and effect has an id of its own, so a cue names its sound.
inline void new_game()
{
    fresh_world();
    for (int i = 0; i < MUSIC_TRACKS; ++i) world.music_tracks[i] = 10 + i;
    int id = 20;
    for (int32_t* effect : {&world.snd_ahh, &world.snd_energize, &world.snd_gameover, &world.snd_projectile,
                            &world.snd_engines, &world.snd_explosion, &world.snd_levcomp}) *effect = id++;
    reset_level(world, NEW_GAME, out);
}

// One frame of the rules on the keys held; its output in `out`.
inline int frame()
{
    output_clear(out);
    return run_frame(world, world.key_state, out);
}

// How many cues of the kind (for that id, unless -2) the last output holds.
inline int cue_count(CueKind kind, int id = -2)
{
    return int(std::count_if(out.cues, out.cues + out.cue_count,
                             [&](const SoundCue& c) { return c.kind == kind && (id == -2 || c.id == id); }));
}

inline int draw_count(DrawKind kind)
{
    return int(std::count_if(out.draws, out.draws + out.draw_count, [&](const Draw& d) { return d.kind == kind; }));
}

// The game as a fresh process finds it, its keyboard open; afterwards the
// keyboard is left live and everything shut down for the rest of the suite.
class FreshProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless_reset();
        fresh_world();
        report_clear();
        ASSERT_EQ(keyboard_init(), 1);
    }
    void TearDown() override
    {
        keyboard_go_live();
        shutdown_all();
    }
};

inline void hold_keys(std::initializer_list<int> codes)
{
    world.key_state = {};
    for (int c : codes) world.key_state[static_cast<size_t>(c)] = 0x80;
}

// Every asteroid out of harm's way, parked and gone.
inline void clear_asteroids()
{
    for (Asteroid& a : world.asteroids) a.state = STATE_GONE;
    world.asteroids_left = 0;
}
