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
    long long lastCheck = 0;       // when the last answered check was made; 0: none remembered
    std::string lastVersion;       // what the service named then (or what was installed since)
    long long notBefore = 0;       // the service's wait runs until then; 0: none
    bool lastVersionNewer = false; // lastVersion is newer than the installed runtime
    // lastVersion failed to install too often to be offered again.
    bool lastVersionWithdrawn = false;
    std::string service{};     // the service this start would ask
    std::string lastService{}; // the service that the remembered answer and wait came from
};

enum class CheckAction {
    check,           // ask the service now
    skipPeriod,      // the remembered answer stands for the service's
    skipServiceWait, // the service asked to wait: start the installed runtime
};

struct CheckDecision {
    CheckAction action = CheckAction::check;
    const char* reason = ""; // a few words for the log
};

// The rules in the order they apply: no runtime, a check; another service than the remembered
// one, a check; a service's wait of at most a day ahead, no check; an answer remembered within
// the period, not in the future, no check, unless it is newer than the installed runtime and
// still offered: a question would follow, and it must follow what the service names now, not an
// answer that the vendor may have overtaken since. Anything else, a check.
CheckDecision decideUpdateCheck(const CheckFacts& facts);

// Until when a probe's answer (its status and Retry-After value, in seconds or as an HTTP date)
// asks its clients to wait, at most a day from now; 0 when it does not (not 429 or 503, no
// Retry-After, a value that cannot be read, or a time already past).
long long serviceWaitUntil(long status, const std::string& retryAfter, long long now);
