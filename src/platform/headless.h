// Hooks of the headless edge for the replay runner and the tests.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The keys every poll sees from now on (256 bytes by scan code).
void headless_set_keys(const uint8_t* key_state);
// Queues an event for a later poll, as the player's edge would report it;
// a full queue drops it.
void headless_post_event(PlatformEvent event);
// Presents since start.
int headless_present_count();
// Back to the state at start: no keys, clock at 0, nothing presented, posted or queued.
void headless_reset();
