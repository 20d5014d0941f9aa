// The frame clock. The unsigned difference survives the wrap-around of the
// tick count.
#include "platform/clock.h"

#include "platform/platform.h"

uint32_t frame_start;
uint32_t frame_serial;
static bool busy_clock;  // the player asked for the busy clock
static bool (*idle_work)();  // the shell's work for a frame's spare time, if any
static bool paced_by_caller;  // the browser's loop paces the frames; waits return at once

void clock_set_busy(bool busy) { busy_clock = busy; }
void clock_set_idle_work(bool (*work)()) { idle_work = work; }
void clock_set_paced_by_caller(bool paced) { paced_by_caller = paced; }

uint32_t clock_mark()
{
    frame_start = platform_ticks();
    ++frame_serial;
    return frame_start;
}

void clock_idle(uint32_t milliseconds)
{
    while (idle_work && static_cast<uint32_t>(platform_ticks() - frame_start) + IDLE_MARGIN_MS < milliseconds &&
           idle_work()) {
    }
}

void clock_wait_until(uint32_t milliseconds)
{
    if (paced_by_caller) return;
    clock_idle(milliseconds);
    if (!busy_clock) {
        const uint32_t passed = platform_ticks() - frame_start;
        if (passed < milliseconds && milliseconds - passed > CLOCK_SPIN_MS) {
            platform_sleep(milliseconds - passed - CLOCK_SPIN_MS);
        }
    }
    while (static_cast<uint32_t>(platform_ticks() - frame_start) < milliseconds) platform_spin();
}
