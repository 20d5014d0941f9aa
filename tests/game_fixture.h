// A fresh game for every rules test: the World cleared, the generator back at
// its first state, and a level set up as the program does at start-up.
#pragma once

#include <gtest/gtest.h>

#include "base/report.h"
#include "game/rules.h"
#include "input/keyboard.h"
#include "platform/headless.h"
#include "shell/shell.h"

inline void fresh_world()
{
    world = World{};
    rand_state = 1;
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
