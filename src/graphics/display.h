// The display: a visible buffer and a back buffer of 640 x 480 palette
// indices, one palette shared by every surface, and the two full-screen
// images. Every frame is drawn into back_buffer and shown by display_flip.
#pragma once

#include "graphics/surface.h"

constexpr int SCREEN_WIDTH = 640;
constexpr int SCREEN_HEIGHT = 480;

struct Display {
    SDL_Palette* display_palette;  // the splash's 256 colours
    Surface* primary_surface;      // the visible buffer
    Surface* back_buffer;          // what the frame draws into
    Surface* backdrop_surface;
    Surface* intro_text_surface;
    Clipper* screen_clipper;
    int window_open;
    int text_ready;
};

extern Display display;

int display_init();
void display_flip();
void display_release();
