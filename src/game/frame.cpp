// One frame of the game, in its fixed order, and the two special screens.
#include <cstdio>

#include "base/screen.h"
#include "game/rules.h"

// The intro: how many frames it runs without a key, and where its text
// starts (just below the screen) and comes to rest.
constexpr int INTRO_FRAMES = 1350;
constexpr int INTRO_START_Y = SCREEN_HEIGHT;
constexpr int INTRO_REST_Y = 50;
// Frames of play with the level's goals met before the level-clear screen.
constexpr int LEVEL_CLEAR_DELAY = 90;
// Where the texts stand.
constexpr int LEVEL_TEXT_X = 400;
constexpr int SCORE_TEXT_X = 500;
constexpr int STATUS_TEXTS_Y = 5;
constexpr int BIG_TEXT_Y = 100;       // "GAME OVER" and the level-clear score
constexpr int GAME_OVER_X = 270;
constexpr int LEVEL_CLEAR_SCORE_X = 200;
constexpr int PROMPT_X = 240;         // "Hit <enter> ..."
constexpr int PROMPT_Y = 150;

void start_intro(World& w)
{
    w.intro_timer = INTRO_FRAMES;
    w.intro_scroll_y = INTRO_START_Y;
    w.phase = PHASE_INTRO;
}

static void stop_music_and_effects(const World& w, FrameOutput& out)
{
    for (int id : w.music_tracks) output_cue(out, CUE_MUSIC_STOP, id);
    output_cue(out, CUE_EFFECTS_STOP_ALL, 0);
}

static bool level_goals_hold(const World& w)
{
    return w.asteroids_left == 0 && w.astronaut.state == STATE_GONE && w.ship.state == STATE_ACTIVE;
}

static void show_intro_frame(World& w, FrameOutput& out)
{
    w.intro_scroll_y -= 1;
    if (w.intro_scroll_y < INTRO_REST_Y) w.intro_scroll_y = INTRO_REST_Y;
    output_draw(out, DRAW_INTRO_TEXT, 0, w.intro_scroll_y);
    output_draw(out, DRAW_PRESENT, 0, 0);
}

static void show_level_clear(World& w, FrameOutput& out)
{
    char text[DRAW_TEXT_BYTES];
    std::snprintf(text, sizeof text, "SCORE: %d", w.score);
    draw_shadowed(out, text, LEVEL_CLEAR_SCORE_X, BIG_TEXT_Y, random_colour(), FLASHING_LEVEL_SCORE);
    std::snprintf(text, sizeof text, "Hit <enter> for level %d", w.level + 1);
    output_text(out, text, PROMPT_X, PROMPT_Y, TEXT_ORANGE, NOT_FLASHING);
    if (key_down(w, DIK_RETURN)) reset_level(w, NEXT_LEVEL, out);
    output_draw(out, DRAW_PRESENT, 0, 0);
}

// The intro's frame: true when the intro is over and this frame goes on to play.
static bool intro_ends(World& w, FrameOutput& out)
{
    show_intro_frame(w, out);
    w.intro_timer -= 1;
    if (!(key_down(w, DIK_RETURN) || key_down(w, DIK_SPACE) || w.intro_timer < 0)) return false;
    w.phase = PHASE_PLAYING;
    return true;
}

// The level-clear test: true while the level-clear screen is up, which then
// is this frame's whole picture.
static bool level_clear_shown(World& w, FrameOutput& out)
{
    if (!level_goals_hold(w)) return false;
    if (w.end_counter < LEVEL_CLEAR_DELAY) {
        w.end_counter += 1;
        return false;
    }
    if (w.phase == PHASE_PLAYING) {
        w.phase = PHASE_LEVEL_CLEAR;
        stop_music_and_effects(w, out);
        output_cue(out, CUE_EFFECT_PLAY, w.snd_levcomp);
    }
    show_level_clear(w, out);
    return true;
}

static void status_texts(const World& w, FrameOutput& out)
{
    draw_astronaut_status(w, out);
    char text[DRAW_TEXT_BYTES];
    std::snprintf(text, sizeof text, "LEVEL: %d", w.level);
    draw_shadowed(out, text, LEVEL_TEXT_X, STATUS_TEXTS_Y, TEXT_GREEN, NOT_FLASHING);
    std::snprintf(text, sizeof text, "SCORE: %d", w.score);
    draw_shadowed(out, text, SCORE_TEXT_X, STATUS_TEXTS_Y, TEXT_GREEN, NOT_FLASHING);
}

// The first game-over frame silences the game and sounds its end; the later
// ones show the texts and wait for RETURN.
static void game_over(World& w, FrameOutput& out)
{
    if (w.game_over_started == 0) {
        w.game_over_started = 1;
        stop_music_and_effects(w, out);
        output_cue(out, CUE_EFFECT_PLAY, w.snd_gameover);
        return;
    }
    draw_shadowed(out, "GAME OVER", GAME_OVER_X, BIG_TEXT_Y, random_colour(), FLASHING_GAME_OVER);
    output_text(out, "Hit <enter> to play again!", PROMPT_X, PROMPT_Y, TEXT_ORANGE, NOT_FLASHING);
    if (key_down(w, DIK_RETURN)) reset_level(w, NEW_GAME, out);
}

int run_frame(World& w, const KeyState& keys, FrameOutput& out)
{
    if (w.quit_requested) return 0;
    w.key_state = keys;
    if (key_down(w, DIK_ESCAPE)) {
        // The last frame is still drawn, shown and paced.
        w.quit_requested = 1;
        out.quit = true;
    }

    output_draw(out, DRAW_BACKDROP, 0, 0);
    Star& star = w.star;
    animate(star.frame, star.tick, star.delay, STAR_SPRITE.frames);
    draw_sprite(out, star.frames[star.frame], star.x, star.y, STAR_SPRITE);

    if (w.phase == PHASE_INTRO && !intro_ends(w, out)) return 1;
    if (level_clear_shown(w, out)) return 1;

    asteroids_step(w, out);
    ship_step(w, out);
    shots_step(w, out);
    astronaut_step(w, out);
    status_texts(w, out);
    if (w.phase == PHASE_GAME_OVER) game_over(w, out);

    w.frame_parity = w.frame_parity == 0 ? 1 : 0;
    output_draw(out, DRAW_PRESENT, 0, 0);
    return 1;
}
