// The headless edge: no window, no audio device, keys from a script and a
// virtual clock that moves only while the game waits, so a run is as fast as
// the machine and gives the same result every time.
#include "platform/headless.h"

#include <cstring>
#include <iterator>

static uint8_t scripted_keys[256];  // what platform_keyboard_read gives, set by headless_set_keys
static uint32_t virtual_ms;          // the clock: moves only in spins, delays and sleeps
static int quit_posted;              // the window was destroyed: the next poll is the quit
static int present_count;            // pictures presented since headless_reset
static PlatformPicture picture;      // the last one presented
static PlatformEvent queued[64];     // events posted by a test, a ring
static size_t queued_first;          // the oldest of them
static size_t queued_count;          // how many wait

void headless_post_event(PlatformEvent event)
{
    if (queued_count == std::size(queued)) return;
    queued[(queued_first + queued_count++) % std::size(queued)] = event;
}

void headless_set_keys(const uint8_t* key_state) { std::memcpy(scripted_keys, key_state, sizeof scripted_keys); }
PlatformPicture platform_picture() { return picture; }
int headless_present_count() { return present_count; }

void headless_reset()
{
    std::memset(scripted_keys, 0, sizeof scripted_keys);
    virtual_ms = 0;
    quit_posted = 0;
    present_count = 0;
    picture = PlatformPicture{};
    queued_first = queued_count = 0;
}

int platform_window_open(const char*, int, int) { return 1; }
void platform_window_close() {}
void platform_choose_fullscreen(bool) {}
bool platform_fullscreen() { return false; }
void platform_choose_integer_scale(bool) {}
void platform_show_overlay(PlatformOverlay) {}
void platform_overlay_lines(const char* const*, int) {}
void platform_show_notice(const char*) {}

void platform_present(const uint8_t* pixels, int pitch, int width, int height, const Colour* palette)
{
    picture = PlatformPicture{pixels, pitch, width, height, palette};
    ++present_count;
}

PlatformEvent platform_poll_event()
{
    if (quit_posted) {
        quit_posted = 0;
        return PLATFORM_EVENT_QUIT;
    }
    if (queued_count > 0) {
        const PlatformEvent event = queued[queued_first];
        queued_first = (queued_first + 1) % std::size(queued);
        --queued_count;
        return event;
    }
    return PLATFORM_EVENT_NONE;
}

void platform_window_destroy() { quit_posted = 1; }
void platform_wait_event(uint32_t ms) { virtual_ms += ms; }

int platform_keyboard_open() { return 1; }
void platform_keyboard_read(uint8_t* key_state) { std::memcpy(key_state, scripted_keys, sizeof scripted_keys); }
void platform_keyboard_close() {}

uint32_t platform_ticks() { return virtual_ms; }
// Time passes only while the game waits: one millisecond a turn.
void platform_spin() { ++virtual_ms; }
void platform_sleep(uint32_t ms) { virtual_ms += ms; }
// The splash takes no virtual time, so that recordings are timed from the
// first frame; a quit or ESC posted ahead ends it.
PlatformEvent platform_delay(uint32_t)
{
    for (PlatformEvent event; (event = platform_poll_event()) != PLATFORM_EVENT_NONE;) {
        if (event == PLATFORM_EVENT_QUIT || event == PLATFORM_EVENT_ESCAPE) return event;
    }
    return PLATFORM_EVENT_NONE;
}

int platform_audio_open(int, int, PlatformMixFn, const char** why)
{
    *why = nullptr;
    return 0;
}
void platform_audio_lock() {}
void platform_audio_unlock() {}
void platform_audio_close() {}
void platform_audio_pause(bool) {}
