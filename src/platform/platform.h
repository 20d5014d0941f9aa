// The platform edge: everything the game needs from the machine, and nothing
// more. Two implementations exist: sdl.cpp + sdl_audio.cpp for the player's
// window, speakers and keyboard, and headless.cpp for the replay runner and
// the tests (virtual clock, scripted keys, no window, no audio device).
#pragma once

#include <cstdint>

#include "base/colour.h"

// --- window and picture -----------------------------------------------------
// One window for a picture of `width` x `height`: fullscreen, or a window of
// the largest whole multiple of the picture that fits the desktop. Returns 1,
// or 0 after report_failure.
int platform_window_open(const char* title, int width, int height);
void platform_window_close();  // at shut-down; does nothing when no window is open
// Whether the window opens fullscreen (it does unless told otherwise before
// it opens), and whether it is fullscreen now.
void platform_choose_fullscreen(bool fullscreen);
bool platform_fullscreen();
// How the picture fills the window: by default as large as its shape allows,
// scaled by whole numbers first and smoothed only the rest of the way; with
// integer scaling only whole multiples, black bars around.
void platform_choose_integer_scale(bool integer_scale);

// Show an 8-bit picture through its 256-entry palette.
void platform_present(const uint8_t* pixels, int pitch, int width, int height, const Colour* palette);

// The picture the player sees now: the last one presented, as the edge keeps
// it (null pixels before the first present).
struct PlatformPicture {
    const uint8_t* pixels;
    int pitch;
    int width;
    int height;
    const Colour* palette;
};
PlatformPicture platform_picture();  // for the screenshot F12 asks for

// While paused, the window shows the last picture dimmed with an overlay
// over it: "PAUSED" and how to go on, the game's keys, or the best runs'
// table. The picture itself (and platform_picture) stays as it was presented.
enum PlatformOverlay {
    PLATFORM_OVERLAY_NONE,
    PLATFORM_OVERLAY_PAUSED,
    PLATFORM_OVERLAY_KEYS,
    PLATFORM_OVERLAY_BEST_RUNS,
};
void platform_show_overlay(PlatformOverlay overlay);
// The best runs' table, line by line from the top, for its overlay.
void platform_overlay_lines(const char* const* lines, int count);
// One line of the overlays' kind over the running game, near the top
// ("Best run #3 — F2"); null hides it.
void platform_show_notice(const char* line);

// --- events -----------------------------------------------------------------
enum PlatformEvent {
    PLATFORM_EVENT_NONE,        // nothing was pending
    PLATFORM_EVENT_QUIT,        // the quit event: the loop ends
    PLATFORM_EVENT_SCREENSHOT,  // the player asked for a picture of the screen (F12)
    PLATFORM_EVENT_OTHER,       // one event was taken and handled by the edge
    PLATFORM_EVENT_PAUSE,       // P or Pause: pause, or go on
    PLATFORM_EVENT_FOCUS_LOST,  // the window lost the keyboard's focus
    PLATFORM_EVENT_FULLSCREEN,  // Alt+Enter changed the window's mode
    PLATFORM_EVENT_ESCAPE,      // ESC went down (a frame reads it from the keys; a paused game from this)
    PLATFORM_EVENT_KEYS,        // F1: show the keys, or hide them
    PLATFORM_EVENT_BEST_RUNS,   // F2: show the best runs, or hide them
};
// Takes at most one pending event; never blocks.
PlatformEvent platform_poll_event();
// Returns when an event is pending or `ms` have passed.
void platform_wait_event(uint32_t ms);
// The game closes its window (ESC): the window answers by posting the quit
// event, which a later poll takes.
void platform_window_destroy();

// --- keyboard ---------------------------------------------------------------
int platform_keyboard_open();  // 1, or 0 after report_failure
// Fills 256 bytes indexed by PC scan code, nonzero while held.
void platform_keyboard_read(uint8_t* key_state);
void platform_keyboard_close();  // at shut-down; the pads too

// --- clock ------------------------------------------------------------------
uint32_t platform_ticks();   // milliseconds, wraps at 2^32
void platform_spin();        // one turn of a busy wait
void platform_sleep(uint32_t ms);  // gives the processor up for about `ms`
// The splash's wait: `ms`, or less when the player ends the game (the
// window's close button, ESC), which it returns; PLATFORM_EVENT_NONE after
// the whole wait. The window's own events are handled as by a poll.
PlatformEvent platform_delay(uint32_t ms);

// --- audio ------------------------------------------------------------------
// Called on the audio thread: fill `frames` stereo frames of 16-bit samples.
using PlatformMixFn = void (*)(int16_t* stereo, int frames);
// Opens the one audio device. Returns 1, or 0 with *why set to the reason
// (or to nullptr where there is no device by design, as headless).
int platform_audio_open(int sample_rate, int buffer_frames, PlatformMixFn mix, const char** why);
// Keep the audio thread out while the banks change what it reads.
void platform_audio_lock();
void platform_audio_unlock();
void platform_audio_close();  // at shut-down, after the banks have let go of the mixer
// A paused device stops asking for sound: music and effects stand where they
// are and go on from there.
void platform_audio_pause(bool paused);
