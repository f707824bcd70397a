// The schedule of the update check: the decision, the service's wait and the times it takes.
#include "check_schedule.h"

#include "network/transfer_result.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

constexpr long tooManyRequests = 429;
constexpr long serviceUnavailable = 503;
constexpr long long secondsPerMinute = 60;
constexpr long long secondsPerDay = 24LL * 60 * 60;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar (H. Hinnant's algorithm).
long long daysFromCivil(long long year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

} // namespace

CheckAction decideUpdateCheck(const CheckFacts& facts)
{
    if (!facts.runtimeInstalled) {
        return CheckAction::check;
    }
    if (facts.notBefore > facts.now && facts.notBefore - facts.now <= longestServiceWaitSeconds) {
        return CheckAction::skipServiceWait;
    }
    const long long period = static_cast<long long>(facts.periodMinutes) * secondsPerMinute;
    const bool remembered = facts.lastCheck > 0 && !facts.lastVersion.empty();
    // A time in the future says the clock was set back since: the answer's age is unknown.
    if (facts.periodMinutes > 0 && facts.periodMinutes <= longestCheckPeriodMinutes && remembered
        && facts.lastCheck <= facts.now && facts.now - facts.lastCheck < period) {
        return CheckAction::skipPeriod;
    }
    return CheckAction::check;
}

long long serviceWaitUntil(long status, const std::string& retryAfter, long long now)
{
    if (status != tooManyRequests && status != serviceUnavailable) {
        return 0;
    }
    const long seconds = retryAfterSeconds(retryAfter, static_cast<long>(longestServiceWaitSeconds));
    const long long date = seconds < 0 ? httpDateSeconds(retryAfter) : -1;
    const long long until = seconds >= 0 ? now + seconds : date;
    if (until <= now) {
        return 0;
    }
    return until - now > longestServiceWaitSeconds ? now + longestServiceWaitSeconds : until;
}

long long httpDateSeconds(const std::string& value)
{
    // The one form that HTTP senders must produce (RFC 9110's IMF-fixdate), of fixed width:
    // "Wed, 09 Dec 2026 08:00:00 GMT".
    const std::string shape = "aaa, 00 aaa 0000 00:00:00 GMT"; // a: a letter, 0: a digit
    if (value.size() != shape.size()) {
        return -1;
    }
    for (std::string::size_type at = 0; at < shape.size(); ++at) {
        const auto c = static_cast<unsigned char>(value[at]);
        const bool fits = shape[at] == '0'   ? std::isdigit(c) != 0
                          : shape[at] == 'a' ? std::isalpha(c) != 0
                                             : value[at] == shape[at];
        if (!fits) {
            return -1;
        }
    }
    const auto number = [&value](std::string::size_type at, std::string::size_type digits) {
        unsigned result = 0;
        for (std::string::size_type i = at; i < at + digits; ++i) {
            result = result * 10 + static_cast<unsigned>(value[i] - '0');
        }
        return result;
    };
    const char* const months = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const char* const found = std::strstr(months, value.substr(8, 3).c_str());
    const auto index = found != nullptr ? static_cast<unsigned>(found - months) : 1U;
    const unsigned day = number(5, 2);
    const unsigned year = number(12, 4);
    const unsigned hour = number(17, 2);
    const unsigned minute = number(20, 2);
    const unsigned second = number(23, 2);
    if (index % 3 != 0 || day < 1 || day > 31 || year < 1970 || hour > 23 || minute > 59 || second > 60) {
        return -1;
    }
    return daysFromCivil(year, index / 3 + 1, day) * secondsPerDay + hour * 3600LL + minute * 60LL + second;
}

std::string utcText(long long seconds)
{
    const long long days = (seconds >= 0 ? seconds : seconds - secondsPerDay + 1) / secondsPerDay;
    const long long inDay = seconds - days * secondsPerDay;
    // Back from days to the date (the inverse of daysFromCivil).
    const long long shifted = days + 719468;
    const long long era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(shifted - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const unsigned month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const long long year = static_cast<long long>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
    char text[32];
    (void)std::snprintf(text, sizeof(text), "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", year, month, day,
                        inDay / 3600, inDay / 60 % 60, inDay % 60);
    return text;
}
