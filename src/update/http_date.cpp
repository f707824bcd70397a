// The three forms of the HTTP date, each read by its fixed shape (no sscanf, no locale), and the
// calendar arithmetic both ways.
#include "http_date.h"

#include <cctype>
#include <cstdio>
#include <optional>

namespace {

constexpr long long secondsPerDay = 24LL * 60 * 60;
// RFC 9110: a two-digit year that would lie more than 50 years ahead is of the century before.
constexpr long long rfc850YearsAhead = 50;

struct DateFields {
    unsigned year = 0; // two digits for RFC 850's form
    bool twoDigitYear = false;
    unsigned month = 0; // 1 to 12
    unsigned day = 0, hour = 0, minute = 0, second = 0;
};

// True when value, from at on, fits shape: 'a' a letter, '0' a digit, '_' a space or a digit,
// anything else itself.
bool fitsShape(const std::string& value, std::string::size_type at, const std::string& shape)
{
    if (value.size() != at + shape.size()) {
        return false;
    }
    for (std::string::size_type i = 0; i < shape.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[at + i]);
        const bool fits = shape[i] == '0'   ? std::isdigit(c) != 0
                          : shape[i] == 'a' ? std::isalpha(c) != 0
                          : shape[i] == '_' ? c == ' ' || std::isdigit(c) != 0
                                            : c == static_cast<unsigned char>(shape[i]);
        if (!fits) {
            return false;
        }
    }
    return true;
}

unsigned number(const std::string& value, std::string::size_type at, std::string::size_type digits)
{
    unsigned result = 0;
    for (std::string::size_type i = at; i < at + digits; ++i) {
        result = result * 10 + (value[i] == ' ' ? 0U : static_cast<unsigned>(value[i] - '0'));
    }
    return result;
}

// 1 to 12 for "Jan" to "Dec" (exactly so), 0 otherwise.
unsigned monthOf(const std::string& value, std::string::size_type at)
{
    const std::string months = "JanFebMarAprMayJunJulAugSepOctNovDec";
    for (std::string::size_type index = 0; index < 12; ++index) {
        if (value.compare(at, 3, months, 3 * index, 3) == 0) {
            return static_cast<unsigned>(index) + 1;
        }
    }
    return 0;
}

// The time of day of a form, from at ("08:00:00").
void readTime(const std::string& value, std::string::size_type at, DateFields& fields)
{
    fields.hour = number(value, at, 2);
    fields.minute = number(value, at + 3, 2);
    fields.second = number(value, at + 6, 2);
}

std::optional<DateFields> readFields(const std::string& value)
{
    DateFields fields;
    const std::string::size_type comma = value.find(", ");
    if (comma == 3 && fitsShape(value, 0, "aaa, 00 aaa 0000 00:00:00 GMT")) {
        fields.day = number(value, 5, 2);
        fields.month = monthOf(value, 8);
        fields.year = number(value, 12, 4);
        readTime(value, 17, fields);
    } else if (comma >= 6 && comma <= 9 && fitsShape(value, comma, ", 00-aaa-00 00:00:00 GMT")) {
        // RFC 850: the weekday's whole name ("Wednesday"), letters only.
        for (std::string::size_type at = 0; at < comma; ++at) {
            if (std::isalpha(static_cast<unsigned char>(value[at])) == 0) {
                return std::nullopt;
            }
        }
        fields.day = number(value, comma + 2, 2);
        fields.month = monthOf(value, comma + 5);
        fields.year = number(value, comma + 9, 2);
        fields.twoDigitYear = true;
        readTime(value, comma + 12, fields);
    } else if (fitsShape(value, 0, "aaa aaa _0 00:00:00 0000")) {
        // asctime: the day padded with a space ("Dec  9").
        fields.month = monthOf(value, 4);
        fields.day = number(value, 8, 2);
        readTime(value, 11, fields);
        fields.year = number(value, 20, 4);
    } else {
        return std::nullopt;
    }
    const bool valid = fields.month != 0 && fields.day >= 1 && fields.day <= 31 && fields.hour <= 23
                       && fields.minute <= 59 && fields.second <= 60
                       && (fields.twoDigitYear || fields.year >= 1970);
    return valid ? std::optional<DateFields>(fields) : std::nullopt;
}

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

// The date of a day counted from 1970-01-01 (the inverse of daysFromCivil).
struct CivilDate {
    long long year;
    unsigned month;
    unsigned day;
};

CivilDate civilFromDays(long long days)
{
    const long long shifted = days + 719468;
    const long long era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(shifted - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    const unsigned month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    return {static_cast<long long>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0), month,
            dayOfYear - (153 * monthIndex + 2) / 5 + 1};
}

// Whole days since 1970 of a time, rounded down also before 1970.
long long daysOf(long long seconds)
{
    return (seconds >= 0 ? seconds : seconds - secondsPerDay + 1) / secondsPerDay;
}

} // namespace

long long httpDateSeconds(const std::string& value, long long now)
{
    const std::optional<DateFields> fields = readFields(value);
    if (!fields) {
        return -1;
    }
    long long year = fields->year;
    if (fields->twoDigitYear) {
        const long long thisYear = civilFromDays(daysOf(now)).year;
        // The year of those two digits that lies at most 50 years ahead, and is the latest such.
        year += thisYear - thisYear % 100;
        if (year > thisYear + rfc850YearsAhead) {
            year -= 100;
        } else if (year + 100 <= thisYear + rfc850YearsAhead) {
            year += 100;
        }
        if (year < 1970) {
            return -1;
        }
    }
    return daysFromCivil(year, fields->month, fields->day) * secondsPerDay + fields->hour * 3600LL
           + fields->minute * 60LL + fields->second;
}

bool isHttpDate(const std::string& value)
{
    return readFields(value).has_value();
}

std::string utcText(long long seconds)
{
    const long long days = daysOf(seconds);
    const long long inDay = seconds - days * secondsPerDay;
    const CivilDate date = civilFromDays(days);
    char text[32];
    (void)std::snprintf(text, sizeof(text), "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", date.year, date.month,
                        date.day, inDay / 3600, inDay / 60 % 60, inDay % 60);
    return text;
}
