// One frame of the game, in its fixed order, and the two special screens.
#include <cstdio>

#include "audio/midi.h"
#include "audio/sfx.h"
#include "game/rules.h"
#include "graphics/display.h"
#include "input/keyboard.h"
#include "platform/clock.h"
#include "platform/platform.h"

static void stop_music_and_effects()
{
    for (int id : world.music_tracks) midi_stop(id);
    sfx_stop_all();
}

static bool level_goals_hold()
{
    return world.asteroids_left == 0 && world.astronaut.state == STATE_GONE && world.ship.state == STATE_ACTIVE;
}

void show_intro_frame()
{
    world.intro_scroll_y -= 1;
    if (world.intro_scroll_y < 50) world.intro_scroll_y = 50;
    surface_blit(display.intro_text_surface, 0, world.intro_scroll_y, SCREEN_WIDTH, SCREEN_HEIGHT,
                 display.back_buffer, 1);
    display_flip();
    clock_wait_until(FRAME_MS);
}

void show_level_clear()
{
    char text[256];
    std::snprintf(text, sizeof text, "SCORE: %d", world.score);
    draw_shadowed(text, 200, 100, shown_colour(FLASHING_LEVEL_SCORE, random_colour()));
    std::snprintf(text, sizeof text, "Hit <enter> for level %d", world.level + 1);
    text_draw(text, 240, 150, TEXT_ORANGE, display.back_buffer);
    keyboard_poll(world.key_state);
    if (key_down(DIK_RETURN)) reset_level(NEXT_LEVEL);
    display_flip();
    clock_wait_until(FRAME_MS);
}

int run_frame()
{
    World& w = world;
    if (w.quit_requested) return 0;
    clock_mark();
    keyboard_poll(w.key_state);
    if (key_down(DIK_ESCAPE)) {
        // The last frame is still drawn, shown and paced.
        w.quit_requested = 1;
        platform_window_destroy();
    }

    surface_blit(display.backdrop_surface, 0, 0, SCREEN_WIDTH, SCREEN_HEIGHT, display.back_buffer, 0);

    Star& star = w.star;
    animate(star.frame, star.tick, star.delay, STAR_SPRITE.frames);
    draw_sprite(star.frames[star.frame], star.x, star.y, STAR_SPRITE);

    if (w.phase == PHASE_INTRO) {
        show_intro_frame();
        w.intro_timer -= 1;
        keyboard_poll(w.key_state);
        if (!(key_down(DIK_RETURN) || key_down(DIK_SPACE) || w.intro_timer < 0)) return 1;
        w.phase = PHASE_PLAYING;
    }

    if (level_goals_hold()) {
        if (w.end_counter >= 90) {
            if (w.phase == PHASE_PLAYING) {
                w.phase = PHASE_LEVEL_CLEAR;
                stop_music_and_effects();
                sfx_play(w.snd_levcomp, 0);
            }
            show_level_clear();
            return 1;
        }
        w.end_counter += 1;
    }

    asteroids_step();
    ship_step();
    shots_step();
    astronaut_step();
    draw_astronaut_status();

    char text[256];
    std::snprintf(text, sizeof text, "LEVEL: %d", w.level);
    draw_shadowed(text, 400, 5, TEXT_GREEN);
    std::snprintf(text, sizeof text, "SCORE: %d", w.score);
    draw_shadowed(text, 500, 5, TEXT_GREEN);

    if (w.phase == PHASE_GAME_OVER) {
        if (w.game_over_started == 0) {
            w.game_over_started = 1;
            stop_music_and_effects();
            sfx_play(w.snd_gameover, 0);
        } else {
            draw_shadowed("GAME OVER", 270, 100, shown_colour(FLASHING_GAME_OVER, random_colour()));
            text_draw("Hit <enter> to play again!", 240, 150, TEXT_ORANGE, display.back_buffer);
            keyboard_poll(w.key_state);
            if (key_down(DIK_RETURN)) reset_level(NEW_GAME);
        }
    }

    w.frame_parity = w.frame_parity == 0 ? 1 : 0;
    display_flip();
    clock_wait_until(FRAME_MS);
    return 1;
}
