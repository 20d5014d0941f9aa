// The frame clock: every frame lasts at least 30 ms, paced by spinning on the
// millisecond tick count. The unsigned difference survives the wrap-around.
#include "platform/platform.h"
#include "shell/shell.h"

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
