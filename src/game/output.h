// What one frame of the rules produced, in order: the pictures to draw and
// show, the effects and music to start and stop, and whether ESC asked to
// quit. The shell's presenter turns it into pixels and sound; a frame
// allocates nothing, so both lists are fixed arrays.
#pragma once

#include <cstdint>

// The three texts that flash in a fresh random colour every frame; the
// presenter may hold each one's colour steady (the player's setting).
enum FlashingText : int32_t { FLASHING_GAME_OVER, FLASHING_LEVEL_SCORE, FLASHING_LOW_AIR, FLASHING_TEXTS, NOT_FLASHING };

// What a Draw draws.
enum DrawKind : int32_t {
    DRAW_BACKDROP,    // the backdrop, opaque, over the whole screen
    DRAW_INTRO_TEXT,  // the intro text, keyed, its top edge at y
    DRAW_SPRITE,      // one picture of a body, keyed, its top-left corner at (x, y)
    DRAW_TEXT,        // a text in a colour, transparent background
    DRAW_PRESENT,     // show the picture drawn so far and wait out the frame
};

// The longest text a frame draws ("Hit <enter> for level -2147483648") and
// its terminating zero.
constexpr int DRAW_TEXT_BYTES = 40;

// One thing a frame draws, or the moment it shows what it drew.
struct Draw {
    DrawKind kind;
    int32_t sprite;  // DRAW_SPRITE: the picture's id (0: none loaded)
    int32_t x;
    int32_t y;
    int32_t width;   // DRAW_SPRITE: the picture's size
    int32_t height;
    uint32_t colour;  // DRAW_TEXT: COLORREF 0x00BBGGRR, as drawn from the generator
    FlashingText flashing;
    char text[DRAW_TEXT_BYTES];
};

// What a SoundCue does.
enum CueKind : int32_t {
    CUE_EFFECT_PLAY,            // start the effect from its beginning
    CUE_EFFECT_PLAY_IF_SILENT,  // start the effect unless it is playing (the engines' hum)
    CUE_EFFECTS_STOP_ALL,
    CUE_MUSIC_PLAY,
    CUE_MUSIC_STOP,
};

// One start or stop of an effect or a track, in the order the rules gave them.
struct SoundCue {
    CueKind kind;
    int32_t id;  // the effect's or track's id in its bank; -1 when its load failed
};

// The most any frame can need: the backdrop, the star, the intro text and
// its picture, 30 asteroids, the ship, 10 shots, the astronaut, eleven texts
// and the last picture; and every asteroid striking the ship and every shot
// striking an asteroid, with the game-over and next-game cues.
constexpr int FRAME_DRAWS = 64;
constexpr int FRAME_CUES = 64;

// Everything a frame produced, for the presenter.
struct FrameOutput {
    Draw draws[FRAME_DRAWS];
    int draw_count;
    SoundCue cues[FRAME_CUES];
    int cue_count;
    bool quit;  // ESC was down: this frame is the last the player sees
};

// Empties the output for the next frame.
inline void output_clear(FrameOutput& out)
{
    out.draw_count = 0;
    out.cue_count = 0;
    out.quit = false;
}

// Appends a draw of `kind` at (x, y) and returns it for its other fields.
Draw& output_draw(FrameOutput& out, DrawKind kind, int x, int y);
// Appends a text at (x, y) in its colour; `flashing` names a flashing text.
void output_text(FrameOutput& out, const char* text, int x, int y, uint32_t colour, FlashingText flashing);
// Appends a sound cue for the effect or track `id` (ignored by CUE_EFFECTS_STOP_ALL).
void output_cue(FrameOutput& out, CueKind kind, int id);
