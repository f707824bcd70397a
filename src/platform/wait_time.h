// Deadlines, and the waits that Windows' wait functions take from them. No platform header.
#pragma once

#include <chrono>

using Deadline = std::chrono::steady_clock::time_point;

// No deadline at all: a wait for it is as long as the caller's longest.
inline Deadline noDeadline()
{
    return Deadline::max();
}

// The milliseconds from now until deadline, as a wait for WaitForSingleObject and its kin:
// 0 once it has passed, and never more than longest, so that a far deadline (or none) can
// neither wrap round nor reach INFINITE.
inline unsigned long millisecondsUntil(Deadline deadline, unsigned long longest,
                                       Deadline now = std::chrono::steady_clock::now())
{
    if (deadline <= now) {
        return 0;
    }
    // Compared in the clock's own unit first: converting a far deadline's distance to
    // milliseconds is safe, but not every clock's maximum survives a round trip.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    return left.count() < static_cast<long long>(longest) ? static_cast<unsigned long>(left.count())
                                                          : longest;
}

// The whole milliseconds since start, for the log.
inline long long millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}
