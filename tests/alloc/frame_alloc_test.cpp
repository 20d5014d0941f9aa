// A frame allocates no memory: the whole game started headless on the real
// data files, played through its phases while every SDL and C++ allocation
// is counted.
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "game/rules.h"
#include "input/keyscript.h"
#include "platform/headless.h"
#include "base/report.h"
#include "shell/shell.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

SDL_malloc_func real_malloc;
SDL_calloc_func real_calloc;
SDL_realloc_func real_realloc;
SDL_free_func real_free;

void* SDLCALL counted_malloc(size_t n) { return allocations += counting, real_malloc(n); }
void* SDLCALL counted_calloc(size_t n, size_t size) { return allocations += counting, real_calloc(n, size); }
void* SDLCALL counted_realloc(void* p, size_t n) { return allocations += counting, real_realloc(p, n); }

}  // namespace

// The replacement pair allocates with malloc and frees with free, which is
// matched, though GCC cannot see it through the replacement.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t n)
{
    if (counting) ++allocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

TEST(FrameAllocations, NoneInAnyPhase)
{
    SDL_GetMemoryFunctions(&real_malloc, &real_calloc, &real_realloc, &real_free);
    SDL_SetMemoryFunctions(counted_malloc, counted_calloc, counted_realloc, real_free);
    headless_reset();
    ASSERT_EQ(startup_all(), 1) << report_text();

    uint8_t keys[256];
    auto play = [&](int frames, uint8_t mask) {
        keyscript_key_state(mask, keys);
        headless_set_keys(keys);
        for (int i = 0; i < frames; ++i) shell_frame();
    };
    play(3, 0);  // the intro
    counting = true;
    play(20, 0);
    play(1, SCRIPT_RETURN);                           // into play
    play(120, SCRIPT_UP | SCRIPT_SPACE | SCRIPT_LEFT);  // fire, turn, thrust
    play(700, SCRIPT_DOWN | SCRIPT_SPACE);            // the air runs out
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_NE(world.phase, PHASE_INTRO);

    // A lost game: the game-over frames allocate nothing either.
    world.ship.state = STATE_DYING;
    counting = true;
    play(40, 0);
    counting = false;
    EXPECT_EQ(world.phase, PHASE_GAME_OVER);
    EXPECT_EQ(allocations.load(), 0);

    shutdown_all();
    SDL_SetMemoryFunctions(real_malloc, real_calloc, real_realloc, real_free);
}
