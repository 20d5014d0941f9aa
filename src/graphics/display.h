// The display: a visible buffer and a back buffer of 640 x 480 palette
// indices, one palette shared by every surface, and the two full-screen
// images. Every frame is drawn into back_buffer and shown by display_flip.
#pragma once

#include "base/screen.h"
#include "graphics/surface.h"

struct Display {
    SDL_Palette* display_palette;  // the splash's 256 colours
    Surface* primary_surface;      // the visible buffer
    Surface* back_buffer;          // what the frame draws into
    Surface* backdrop_surface;     // set by the shell's loading, released here
    Surface* intro_text_surface;   // the page that scrolls up during the intro
    int window_open;               // 1 once the window is open: shut-down closes it
    int text_ready;                // 1 once the font is loaded: shut-down frees it
};

extern Display display;  // the one display, for the life of the process

// The font, the palette and the two buffers. Returns 1, or 0 after
// report_failure.
int display_init();
// Fills the visible buffer with the splash, takes its palette for every
// surface and shows it. Returns 0, showing nothing, when the splash is not
// an 8-bit image of at least 640 x 480.
int display_show_splash(const LoadedBitmap& splash);
// Shows the back buffer: the two buffers exchange their pixels.
void display_flip();
// Releases the display's surfaces, palette and font; the sprite pictures
// are the picture bank's.
void display_release();
