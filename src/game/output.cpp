// Appending to a frame's output.
#include "game/output.h"

#include <cstring>

// Where a draw or cue past the bound would go: never reached, as the bound
// counts the busiest frame, and never shown.
static Draw spilled_draw;

Draw& output_draw(FrameOutput& out, DrawKind kind, int x, int y)
{
    Draw& d = out.draw_count < FRAME_DRAWS ? out.draws[out.draw_count++] : spilled_draw;
    d.kind = kind;
    d.sprite = 0;
    d.x = x;
    d.y = y;
    d.width = 0;
    d.height = 0;
    d.colour = 0;
    d.flashing = NOT_FLASHING;
    d.text[0] = '\0';
    return d;
}

void output_text(FrameOutput& out, const char* text, int x, int y, uint32_t colour, FlashingText flashing)
{
    Draw& d = output_draw(out, DRAW_TEXT, x, y);
    d.colour = colour;
    d.flashing = flashing;
    std::strncpy(d.text, text, DRAW_TEXT_BYTES - 1);
    d.text[DRAW_TEXT_BYTES - 1] = '\0';
}

void output_cue(FrameOutput& out, CueKind kind, int id)
{
    if (out.cue_count < FRAME_CUES) out.cues[out.cue_count++] = SoundCue{kind, id};
}
