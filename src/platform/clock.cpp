// The frame clock. The unsigned difference survives the wrap-around of the
// tick count.
#include "platform/clock.h"

#include "platform/platform.h"

uint32_t frame_start;
static bool gentle_clock;

void clock_set_gentle(bool gentle) { gentle_clock = gentle; }

uint32_t clock_mark()
{
    frame_start = platform_ticks();
    return frame_start;
}

void clock_wait_until(uint32_t milliseconds)
{
    if (gentle_clock) {
        const uint32_t passed = platform_ticks() - frame_start;
        if (passed < milliseconds && milliseconds - passed > GENTLE_SPIN_MS) {
            platform_sleep(milliseconds - passed - GENTLE_SPIN_MS);
        }
    }
    while (static_cast<uint32_t>(platform_ticks() - frame_start) < milliseconds) platform_spin();
}
