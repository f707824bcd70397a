// When a start asks the release service: at every start, or at most once in the administrators'
// check period, and never while the service has asked its clients to wait. No platform header:
// the decision is a row table in its test. Times are whole seconds since 1970, UTC.
#pragma once

#include <string>

// The longest check period the administrators may set: 30 days.
constexpr unsigned long longestCheckPeriodMinutes = 43200;
// The longest wait a service may ask for; a remembered wait further ahead than this is a sign of a
// clock that was wrong, and is ignored.
constexpr long long longestServiceWaitSeconds = 24LL * 60 * 60;

// What a start knows when it decides.
struct CheckFacts {
    unsigned long periodMinutes = 0; // the administrators' period; 0: a check at every start
    bool runtimeInstalled = false;   // without a runtime there is nothing else to start
    long long now = 0;
    long long lastCheck = 0; // when the last answered check was made; 0: none remembered
    std::string lastVersion; // what the service named then (or what was installed since)
    long long notBefore = 0; // the service's wait runs until then; 0: none
};

enum class CheckAction {
    check,           // ask the service now
    skipPeriod,      // the remembered answer stands for the service's
    skipServiceWait, // the service asked to wait: start the installed runtime
};

// The rules in the order they apply: no runtime, a check; a service's wait of at most a day
// ahead, no check; an answer remembered within the period, not in the future, no check; anything
// else, a check.
CheckAction decideUpdateCheck(const CheckFacts& facts);

// Until when a probe's answer (its status and Retry-After value, in seconds or as an HTTP date)
// asks its clients to wait, at most a day from now; 0 when it does not (not 429 or 503, no
// Retry-After, a value that cannot be read, or a time already past).
long long serviceWaitUntil(long status, const std::string& retryAfter, long long now);

// An HTTP date ("Wed, 09 Dec 2026 08:00:00 GMT") in seconds; -1 when it is not one.
long long httpDateSeconds(const std::string& value);

// A time as the log shows it: "2026-12-09T08:00:00Z".
std::string utcText(long long seconds);
