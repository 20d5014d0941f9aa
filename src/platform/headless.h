// Hooks of the headless edge for the replay runner and the tests.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The keys every poll sees from now on (256 bytes by scan code).
void headless_set_keys(const uint8_t* key_state);
// The last presented picture (null before the first present).
struct HeadlessPicture {
    const uint8_t* pixels;
    int pitch;
    int width;
    int height;
    const PresentColor* palette;
};
HeadlessPicture headless_picture();
// Presents since start, quit events posted and not yet polled.
int headless_present_count();
void headless_reset();
