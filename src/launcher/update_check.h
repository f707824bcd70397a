// Whether this start asks the release service, what stands for its answer when it does not, and
// the service's answer when it does.
#pragma once

#include "diagnostics/event_catalog.h"
#include "network/proxy_settings.h"
#include "policy.h"
#include "update/check_schedule.h"
#include "update/release_probe.h"
#include "versions/runtime_choice.h"

#include <optional>

// What a start knows before its check, and what it decided.
struct CheckPlan {
    CheckFacts facts;
    CheckDecision decision;
};

// The schedule's decision for this start, from the policy, the remembered checks and the installed
// runtime (runtimeUsable: its javaw.exe exists). installScope is for whom an installation would be:
// a question may follow only where the runtime it replaces is not in use. A start that sends no
// request says why in the log; within the period the remembered answer is stored in javaVerURL.
CheckPlan planUpdateCheck(const UpdatePolicy& policy, bool runtimeUsable, RuntimeScope installScope);

// What the service said to one check.
struct ServiceAnswer {
    bool newer = false;            // javaVerURL is newer than javaVerReg, or nothing is installed
    long long answeredAfterMs = 0; // when the check ended, counted from the launcher's start
    bool waitAsked = false;        // the service asked its clients to wait, and that is remembered
    std::optional<LauncherEvent> unreachable{}; // for the Event Log, once the application is started
};

// Asks the service named by the plan through proxy within budget (the network is set up already)
// and stores the version it names in javaVerURL; the proxy becomes the run's choice for a download.
ServiceAnswer askService(const CheckPlan& plan, ProxyChoice& proxy, const ProbeBudget& budget);

// Remembers what the service said for the next starts: its answer, its wait, and whether the check
// missed the start deadline. startedWithoutAnswer: the application runs already, so the answer is
// only the next start's question.
void rememberServiceAnswer(const CheckPlan& plan, const ServiceAnswer& answer, bool startedWithoutAnswer);

// The application starts at most this long after the launcher's own start when the service has
// not answered by then: a service that answers at all mostly does within a fraction of it, and
// the application itself takes about a quarter of a second to start. A later answer is the next
// start's question.
constexpr long long startDeadlineMilliseconds = 1000;
