// How one line of the launcher's log is written. No platform header: the format is tested on
// its own.
#pragma once

#include <initializer_list>
#include <string>

// One value of an event: name=value.
struct LogField {
    const char* name;
    std::string value;
};

// A value as it stands in the log: as it is when it is plain, in double quotes when it holds a
// space or is empty, and with every control character, quote, "=" and backslash-x written as
// \xNN, so that a value can never start a line of its own or fake another field.
std::string logValue(const std::string& value);

// "<timestamp> pid=<pid> <event> name=value ...", CR LF at its end.
std::string logLine(const std::string& timestamp, unsigned long pid, const char* event,
                    std::initializer_list<LogField> fields);

// ISO 8601 local time with milliseconds and the UTC offset: 2026-12-08T17:11:22.123+01:00.
std::string isoTimestamp(int year, int month, int day, int hour, int minute, int second, int millisecond,
                         long offsetMinutes);
