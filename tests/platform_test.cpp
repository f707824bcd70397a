// The ground floor's helpers: numbers in hexadecimal, and waits computed from deadlines. These
// also run natively under the sanitizers.
#include "platform/ascii_case.h"
#include "platform/hex_text.h"
#include "platform/wait_time.h"

#include <gtest/gtest.h>

#include <chrono>

TEST(PlatformText, HexNumbersAndCaseAsWindowsWritesThem)
{
    EXPECT_EQ(hexNumber(0x0409, 4), "0x0409");
    EXPECT_EQ(hexNumber(0x800B0100UL, 8), "0x800B0100");
    EXPECT_EQ(hexNumber(0xFFFFFFFFUL, 8), "0xFFFFFFFF");
    EXPECT_EQ(hexNumber(0x7, 2).substr(2), "07");
    EXPECT_TRUE(sameIgnoringCase("Accept-Ranges", "accept-ranges"));
    EXPECT_FALSE(sameIgnoringCase("ETag", "ETags"));
}

TEST(WaitTime, AWaitFromADeadlineIsClampedToItsBounds)
{
    using std::chrono::milliseconds;
    const Deadline now = std::chrono::steady_clock::now();
    const struct {
        Deadline deadline;
        unsigned long longest;
        unsigned long wait;
    } cases[] = {
        {now + milliseconds(250), 1000, 250},
        {now + milliseconds(5000), 1000, 1000},
        {now, 1000, 0},
        {now - milliseconds(10), 1000, 0},
        // No deadline never means a wait of 49 days.
        {noDeadline(), 600000, 600000},
        {noDeadline(), 0xFFFFFFFEUL, 0xFFFFFFFEUL},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(millisecondsUntil(row.deadline, row.longest, now), row.wait) << row.longest;
    }
}
