// Fuzzes what the service and the content hosts send that the launcher reads as numbers and
// times (Retry-After, the HTTP dates, a 206's Content-Range) and the validator's shape: a wait
// stays within its bound, a range within itself, and a validator holds visible characters only.
#include "network/transfer_result.h"
#include "update/check_schedule.h"
#include "update/header_version.h"
#include "update/http_date.h"
#include "update/retry_decision.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string value(reinterpret_cast<const char*>(data), size);
    constexpr long long now = 1796800000; // 2026-12-09
    const long seconds = retryAfterSeconds(value, 30);
    const long long until = serviceWaitUntil(503, value, now);
    const long long date = httpDateSeconds(value, now);
    const ContentRange range = contentRange(value);
    const bool visible = std::all_of(value.begin(), value.end(), [](char c) { return c >= '!' && c <= '~'; });
    if (seconds < -1 || seconds > 30
        || (until != 0 && (until <= now || until > now + longestServiceWaitSeconds))
        || (date != -1) != isHttpDate(value) || date < -1 || (range.first == -1 && range.complete != -1)
        || (range.complete != -1 && range.first >= range.complete)
        || (isStrongEntityTag(value) && !visible)) {
        std::abort();
    }
    return 0;
}
