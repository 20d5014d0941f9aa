#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/headless.h"

TEST(Clock, WaitCountsFromTheMarkAndSurvivesTheWrap)
{
    headless_reset();
    // Marked 10 ms before the 32-bit tick count wrapped.
    frame_start = 0xFFFFFFF6u;
    // The virtual clock sits at 0 here, i.e. 10 ms after the mark across the
    // wrap: the wait must need 20 more, not return or run for ages.
    clock_wait_until(30);
    EXPECT_EQ(platform_ticks(), 20u);

    // Already past the deadline: returns at once.
    clock_mark();
    for (int i = 0; i < 45; ++i) platform_spin();
    const uint32_t before = platform_ticks();
    clock_wait_until(30);
    EXPECT_EQ(platform_ticks(), before);
}
