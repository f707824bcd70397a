// The format of the launcher's log lines.
#include "log_line.h"

#include <cstdio>

namespace {

// Control characters would break the line; a quote or "=" inside a value could make text of a
// value read as a field of its own ("x verdict=accepted").
bool needsEscape(unsigned char c)
{
    return c < 0x20 || c == 0x7F || c == '"' || c == '=';
}

} // namespace

std::string logValue(const std::string& value)
{
    std::string written;
    bool quoted = value.empty();
    for (std::string::size_type at = 0; at < value.size(); ++at) {
        const auto c = static_cast<unsigned char>(value[at]);
        // A literal "\x" would read like an escape: escape its backslash.
        const bool fakeEscape = c == '\\' && at + 1 < value.size() && value[at + 1] == 'x';
        if (needsEscape(c) || fakeEscape) {
            char escaped[5];
            (void)std::snprintf(escaped, sizeof(escaped), "\\x%02X", static_cast<unsigned>(c));
            written += escaped;
        } else {
            quoted = quoted || c == ' ';
            written += static_cast<char>(c);
        }
    }
    return quoted ? '"' + written + '"' : written;
}

std::string logLine(const std::string& timestamp, unsigned long pid, const char* event,
                    std::initializer_list<LogField> fields)
{
    std::string line = timestamp + " pid=" + std::to_string(pid) + " " + event;
    for (const LogField& field : fields) {
        line += std::string(" ") + field.name + "=" + logValue(field.value);
    }
    return line + "\r\n";
}

std::string isoTimestamp(int year, int month, int day, int hour, int minute, int second, int millisecond,
                         long offsetMinutes)
{
    const char sign = offsetMinutes < 0 ? '-' : '+';
    const long offset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[40];
    (void)std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld", year, month,
                        day, hour, minute, second, millisecond, sign, offset / 60, offset % 60);
    return text;
}
