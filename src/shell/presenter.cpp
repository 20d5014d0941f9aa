// The presenter: a frame's output onto the screen and into the speakers.
#include "shell/presenter.h"

#include "audio/midi.h"
#include "audio/sfx.h"
#include "graphics/display.h"
#include "graphics/sprites.h"
#include "platform/clock.h"
#include "platform/platform.h"

struct HeldColour {
    uint32_t colour;
    uint32_t since;  // the frame's tick count when it was taken
    bool taken;
};
// Whether the player asked for steady colours, and the colour each flashing
// text shows until its time is up.
static bool steady_colours;
static HeldColour held_colours[FLASHING_TEXTS];

void set_steady_colours(bool steady)
{
    steady_colours = steady;
    for (HeldColour& held : held_colours) held = HeldColour{};
}

uint32_t shown_colour(FlashingText text, uint32_t drawn)
{
    if (!steady_colours || text >= FLASHING_TEXTS) return drawn;
    HeldColour& held = held_colours[text];
    if (!held.taken || static_cast<uint32_t>(frame_start - held.since) >= STEADY_COLOUR_MS) {
        held = HeldColour{text_colour_at_least(drawn, STEADY_MIN_LUMINANCE, display.back_buffer), frame_start, true};
    }
    return held.colour;
}

void present_cues(const FrameOutput& out)
{
    for (int i = 0; i < out.cue_count; ++i) {
        const SoundCue& cue = out.cues[i];
        switch (cue.kind) {
        case CUE_EFFECT_PLAY: sfx_play(cue.id); break;
        case CUE_EFFECT_PLAY_IF_SILENT:
            if (sfx_status(cue.id) == 0) sfx_play(cue.id);
            break;
        case CUE_EFFECTS_STOP_ALL: sfx_stop_all(); break;
        case CUE_MUSIC_PLAY: midi_play(cue.id); break;
        case CUE_MUSIC_STOP: midi_stop(cue.id); break;
        }
    }
}

static void draw(const Draw& d)
{
    Surface* back = display.back_buffer;
    switch (d.kind) {
    case DRAW_BACKDROP: surface_blit(display.backdrop_surface, 0, 0, SCREEN_WIDTH, SCREEN_HEIGHT, back, 0); break;
    case DRAW_INTRO_TEXT:
        surface_blit(display.intro_text_surface, d.x, d.y, SCREEN_WIDTH, SCREEN_HEIGHT, back, 1);
        break;
    case DRAW_SPRITE: surface_blit(sprite_surface(d.sprite), d.x, d.y, d.width, d.height, back, 1); break;
    case DRAW_TEXT: text_draw(d.text, d.x, d.y, shown_colour(d.flashing, d.colour), back); break;
    case DRAW_PRESENT: break;
    }
}

void draw_frame(const FrameOutput& out)
{
    for (int i = 0; i < out.draw_count; ++i) draw(out.draws[i]);
}

void present_frame(const FrameOutput& out)
{
    if (out.quit) platform_window_destroy();
    int last_present = -1;
    for (int i = 0; i < out.draw_count; ++i) {
        if (out.draws[i].kind == DRAW_PRESENT) last_present = i;
    }
    for (int i = 0; i < out.draw_count; ++i) {
        if (out.draws[i].kind != DRAW_PRESENT) {
            draw(out.draws[i]);
            continue;
        }
        if (i == last_present) present_cues(out);
        display_flip();
        clock_wait_until(FRAME_MS);
    }
    if (last_present < 0) present_cues(out);
}
