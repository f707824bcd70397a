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
    std::string lastVersion{};     // what the service named then (or what was installed since)
    long long notBefore = 0;       // the service's wait runs until then; 0: none
    bool lastVersionNewer = false; // lastVersion is newer than the installed runtime
    // lastVersion failed to install too often to be offered again.
    bool lastVersionWithdrawn = false;
    std::string service{};     // the service this start would ask
    std::string lastService{}; // the service that the remembered answer and wait came from
    bool updateCheckOn = true; // false: the administrators switched the check off
    // The installed runtime's javaw.exe can be started: the application could start without the
    // check's answer.
    bool runtimeUsable = true;
    // A program runs from the installed runtime: no upgrade could be offered this start.
    bool runtimeInUse = false;
    // The service whose last check missed its start deadline (the application started without its
    // answer); empty: none, or the last check answered in time.
    std::string lateService{};
};

enum class CheckAction {
    skipPolicy,      // the administrators switched the check off
    check,           // ask the service now
    skipPeriod,      // the remembered answer stands for the service's
    skipServiceWait, // the service asked to wait: start the installed runtime
};

// How long the application's start waits for a check.
enum class StartWait {
    none,       // no check: nothing to wait for
    deadline,   // until the start deadline at most; a later answer is only remembered
    wholeCheck, // the check's whole budget: a question may follow its answer
    atOnce,     // not at all: this service's last check was late, so the check runs after the start
};

struct CheckDecision {
    CheckAction action = CheckAction::check;
    const char* reason = ""; // a few words for the log
    StartWait wait = StartWait::none;
};

// The rules in the order they apply: no runtime, a check; another service than the remembered
// one, a check; a service's wait of at most a day ahead, no check; an answer remembered within
// the period, not in the future, no check, unless it is newer than the installed runtime and
// still offered: a question would follow, and it must follow what the service names now, not an
// answer that the vendor may have overtaken since. Anything else, a check.
// A check holds the start up to the start deadline only, unless nothing could start without it
// (no usable runtime) or a question may follow it at once: the remembered answer of this service
// is newer than the installed runtime, still offered, and the runtime is not in use. So a network
// that answers late gets its question one start later. Where the deadline would apply and the
// last check of this service missed it, the start does not wait at all: a network that was too
// slow then most likely is now, and the check behind the start tells whether it still is.
CheckDecision decideUpdateCheck(const CheckFacts& facts);

// Whether a check that ended answeredAfterMilliseconds after its launcher's start missed the start
// deadline of deadlineMilliseconds, whether or not that start waited for it: the next start of
// the same service then does not wait.
bool missedStartDeadline(long long answeredAfterMilliseconds, long long deadlineMilliseconds);

// Whether a check's answer is remembered: within a period it stands for the service's answers; an
// answer that came after the application had started (deferred) is the next start's question;
// and a record that exists is kept up to date, so that an answer the service no longer gives
// cannot hold later starts up.
bool rememberAnswer(const CheckFacts& facts, bool deferred);

// Whether a service that could not be reached goes into the Event Log now: at most once a day for
// each user (lastReported: the last time, 0 for never), so that an offline laptop does not write a
// warning at every start; a time in the future (the clock went back) allows one now.
bool reportUnreachable(long long now, long long lastReported);

// Until when a probe's answer (its status and Retry-After value, in seconds or as an HTTP date)
// asks its clients to wait, at most a day from now; 0 when it does not (not 429 or 503, no
// Retry-After, a value that cannot be read, or a time already past).
long long serviceWaitUntil(long status, const std::string& retryAfter, long long now);
