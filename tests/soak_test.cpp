// A long game of the rules on seeded random keys, the World and the frame's
// output checked after every frame. RETURN is pressed often, so the game
// keeps leaving the intro, starting new games and entering new levels.
// (That a frame allocates nothing: FrameAllocations.NoneInAnyPhase.)
//
// CI plays 100,000 frames; KESTRAVA_SOAK_FRAMES=1000000 gives the long run.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "game_fixture.h"
#include "input/keyscript.h"

namespace {

long soak_frames()
{
    const char* text = std::getenv("KESTRAVA_SOAK_FRAMES");
    const long n = text ? std::atol(text) : 0;
    return n > 0 ? n : 100000;
}

bool is_state(int32_t s) { return s == STATE_ACTIVE || s == STATE_DYING || s == STATE_GONE; }

// A body's state and explosion frame in range, its motion finite; and its picture.
bool moving_ok(const auto& b)
{
    return is_state(b.state) && b.explosion_frame >= 0 && b.explosion_frame <= EXPLOSION_FRAMES &&
           std::isfinite(b.x) && std::isfinite(b.y) && std::isfinite(b.vx) && std::isfinite(b.vy);
}
bool body_ok(const auto& b, int pictures) { return moving_ok(b) && b.frame >= 0 && b.frame < pictures; }

// The first broken invariant, or "".
std::string broken_invariant()
{
    const World& w = world;
    if (w.phase != PHASE_PLAYING && w.phase != PHASE_LEVEL_CLEAR && w.phase != PHASE_GAME_OVER &&
        w.phase != PHASE_INTRO)
        return "phase " + std::to_string(w.phase);
    if (!(0 <= w.asteroids_left && w.asteroids_left <= w.asteroid_count && w.asteroid_count <= ASTEROID_SLOTS))
        return "asteroids_left " + std::to_string(w.asteroids_left) + " of " + std::to_string(w.asteroid_count);
    int present = 0;
    for (int i = 0; i < ASTEROID_SLOTS; ++i) {
        const Asteroid& a = w.asteroids[i];
        if (!body_ok(a, ASTEROID_SPRITE.frames)) return "asteroid " + std::to_string(i);
        if (a.state != STATE_GONE && i >= w.asteroid_count) return "asteroid " + std::to_string(i) + " beyond the level";
        present += a.state != STATE_GONE;
    }
    if (present != w.asteroids_left) return "asteroids_left " + std::to_string(w.asteroids_left) + " but " +
                                            std::to_string(present) + " present";
    int active_shots = 0;
    for (int i = 0; i < SHOT_SLOTS; ++i) {
        const Shot& s = w.shots[i];
        if (!body_ok(s, SHOT_SPRITE.frames) || s.explosion_frame != 0 || s.life < 0 || s.life > 60)
            return "shot " + std::to_string(i);
        active_shots += s.state == STATE_ACTIVE;
    }
    if (w.live_shots != active_shots) return "live_shots " + std::to_string(w.live_shots) + " but " +
                                             std::to_string(active_shots) + " active";
    if (w.ship.heading < 0 || w.ship.heading >= HEADINGS || !moving_ok(w.ship)) return "ship";
    if (!body_ok(w.astronaut, ASTRONAUT_SPRITE.frames)) return "astronaut";
    if (w.star.frame < 0 || w.star.frame >= STAR_SPRITE.frames) return "star frame " + std::to_string(w.star.frame);
    if (out.draw_count >= FRAME_DRAWS || out.cue_count >= FRAME_CUES) return "the frame's output at its bound";
    if (!w.quit_requested && (out.draw_count == 0 || out.draws[out.draw_count - 1].kind != DRAW_PRESENT))
        return "a frame that shows nothing at its end";
    return "";
}

// Fire most of the time, turn and thrust now and then, RETURN about every
// eighth frame; never ESC.
uint8_t random_keys()
{
    static uint64_t seed = 0x5EEDF00Dull;
    auto one_in = [](uint32_t n) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(seed >> 33) % n == 0;
    };
    uint8_t mask = 0;
    if (one_in(8)) mask |= SCRIPT_RETURN;
    if (!one_in(4)) mask |= SCRIPT_SPACE;
    if (one_in(6)) mask |= SCRIPT_UP;
    if (one_in(10)) mask |= SCRIPT_DOWN;
    if (one_in(4)) mask |= one_in(2) ? SCRIPT_LEFT : SCRIPT_RIGHT;
    return mask;
}

TEST(Soak, InvariantsHoldEveryFrame)
{
    const long frames = soak_frames();
    new_game();
    start_intro(world);
    long games = 1, levels_cleared = 0, rescues = 0;
    int32_t last_phase = world.phase;
    for (long f = 1; f <= frames; ++f) {
        const int32_t astronaut_before = world.astronaut.state;
        keyscript_key_state(random_keys(), world.key_state.data());
        frame();
        ASSERT_EQ(broken_invariant(), "") << "after frame " << f;
        rescues += astronaut_before == STATE_ACTIVE && world.astronaut.state == STATE_GONE;
        games += last_phase == PHASE_GAME_OVER && world.phase == PHASE_PLAYING;
        levels_cleared += last_phase == PHASE_LEVEL_CLEAR && world.phase == PHASE_PLAYING;
        last_phase = world.phase;
    }
    std::printf("soak: %ld frames, %ld games, %ld levels cleared, %ld rescues\n", frames, games, levels_cleared, rescues);
    // The game must really have been played through its phases.
    EXPECT_GT(games, frames / 5000);
    EXPECT_GT(levels_cleared, 0);
}

}  // namespace
