// A fresh game for every rules test: the World cleared, the generator back at
// its first state, and a level set up as the program does at start-up.
#pragma once

#include <gtest/gtest.h>

#include "game/rules.h"

inline void fresh_world()
{
    world = World{};
    rand_state = 1;
}

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
