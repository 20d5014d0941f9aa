// The frame clock. The unsigned difference survives the wrap-around of the
// tick count.
#include "platform/clock.h"

#include "platform/platform.h"

uint32_t frame_start;

uint32_t clock_mark()
{
    frame_start = platform_ticks();
    return frame_start;
}

void clock_wait_until(uint32_t milliseconds)
{
    while (static_cast<uint32_t>(platform_ticks() - frame_start) < milliseconds) platform_spin();
}
