// The process's age, from GetProcessTimes's creation time and the system clock.
#include "process_clock.h"

#include <windows.h>

#include <chrono>

namespace {

long long ticksOf(const FILETIME& time)
{
    ULARGE_INTEGER ticks{};
    ticks.LowPart = time.dwLowDateTime;
    ticks.HighPart = time.dwHighDateTime;
    return static_cast<long long>(ticks.QuadPart);
}

} // namespace

long long millisecondsSinceProcessStart()
{
    constexpr long long ticksPerMillisecond = 10000; // FILETIME counts 100 ns
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user) == FALSE) {
        return 0;
    }
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    // Both are readings of the system clock; one set back in between gives no negative age.
    const long long age = (ticksOf(now) - ticksOf(created)) / ticksPerMillisecond;
    return age > 0 ? age : 0;
}

Deadline afterProcessStart(long long spanMilliseconds)
{
    const long long age = millisecondsSinceProcessStart();
    const long long left = age < spanMilliseconds ? spanMilliseconds - age : 0;
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(left);
}

long long utcSecondsNow()
{
    constexpr unsigned long long ticksPerSecond = 10000000ULL;
    constexpr unsigned long long unixEpochTicks = 116444736000000000ULL; // FILETIME counts from 1601
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const auto ticks = static_cast<unsigned long long>(ticksOf(now));
    return ticks < unixEpochTicks ? 0 : static_cast<long long>((ticks - unixEpochTicks) / ticksPerSecond);
}
