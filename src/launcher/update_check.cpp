// The update check of a start: the schedule's decision, then the probe or the remembered answer,
// and what is remembered of the service's answer for the next starts.
#include <winsock2.h> // libcurl's header, through the probe's, needs it before windows.h

#include "update_check.h"

#include "diagnostics/event_log.h"
#include "diagnostics/log.h"
#include "installation/runtime_in_use.h"
#include "launcher.h"
#include "network/connection.h"
#include "network/network_setup.h"
#include "network/proxy_choice.h"
#include "platform/process_clock.h"
#include "registry/check_record.h"
#include "registry/install_failures.h"
#include "registry/runtime_records.h"
#include "start_deadline.h"
#include "update/check_schedule.h"
#include "update/http_date.h"
#include "update/release_probe.h"
#include "versions/versions.h"

#include <windows.h>

namespace {

// The application starts at most this long after the launcher's own start when the service has
// not answered by then: a service that answers at all mostly does within a fraction of it, and
// the application itself takes about a quarter of a second to start. A later answer is the next
// start's question.
constexpr long long startDeadlineMilliseconds = 1000;

// The system's clock in whole seconds since 1970, UTC; FILETIME counts 100 ns from 1601.
long long utcSecondsNow()
{
    constexpr unsigned long long ticksPerSecond = 10000000ULL;
    constexpr unsigned long long unixEpochTicks = 116444736000000000ULL;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    return ticks.QuadPart < unixEpochTicks
               ? 0
               : static_cast<long long>((ticks.QuadPart - unixEpochTicks) / ticksPerSecond);
}

CheckFacts gatherFacts(const UpdatePolicy& policy, const RememberedCheck& remembered, long long now,
                       bool runtimeUsable, RuntimeScope installScope)
{
    CheckFacts facts;
    facts.updateCheckOn = policy.updateCheck;
    facts.periodMinutes = policy.checkPeriodMinutes;
    facts.runtimeInstalled = !javaVerReg.empty();
    facts.runtimeUsable = runtimeUsable;
    facts.now = now;
    facts.lastCheck = remembered.checkedAt;
    facts.lastVersion = remembered.version;
    facts.notBefore = remembered.notBefore;
    facts.service = serviceUrl;
    facts.lastService = remembered.service;
    facts.lastVersionNewer = isNewerVersion(remembered.version, javaVerReg);
    if (facts.lastVersionNewer) {
        // Only then can the record of failed installations or a running runtime change the
        // decision.
        const FailedInstallations failures = readFailedInstallations();
        facts.lastVersionWithdrawn =
            failures.version == remembered.version && failures.count >= mostFailedInstallations;
        // The programs that matter run from the runtime that an upgrade replaces.
        const std::string replaced =
            facts.lastVersionWithdrawn ? std::string() : replacedRuntimeFolder(installScope);
        facts.runtimeInUse =
            !replaced.empty() && findRuntimeInUse(replaced).state == RuntimeUse::State::inUse;
    }
    return facts;
}

// Asks the service; where startAtDeadline is given, the application is started with it at the
// start deadline should the answer be late. What the service said is remembered for the next
// starts either way.
CheckOutcome askService(const CheckFacts& facts, ProxyChoice& proxy, const ApplicationStart* startAtDeadline)
{
    const ProbeBudget budget = startProbeBudget();
    // The network is set up only for a start that needs it: a check, or a download. The thread
    // comes after the set-up, whose DLLs load under the loader lock that a new thread needs too.
    prepareNetwork();
    const DeadlineStartHandle watch =
        startAtDeadline != nullptr
            ? armStartDeadline(*startAtDeadline, afterProcessStart(startDeadlineMilliseconds))
            : DeadlineStartHandle(nullptr, &endDeadlineStart);
    proxy = decideProxy(serviceUrl, budget.proxyDecided);
    ProbeAnswer answer;
    CheckOutcome outcome;
    outcome.newer = getURLVersion(serviceUrl, javaVerReg, javaVerURL, proxy, budget.answered, &answer);
    outcome.deferred = watch && !answeredBeforeDeadline(*watch);
    if (!answer.reached && reportUnreachable(facts.now, readUnreachableReported())) {
        reportEvent(serviceUnreachable(urlOrigin(serviceUrl), answer.failure));
        rememberUnreachableReported(facts.now);
    }
    const long long waitUntil = serviceWaitUntil(answer.status, answer.retryAfter, facts.now);
    if (waitUntil > 0) {
        logEvent("service-wait", {{"status", std::to_string(answer.status)}, {"until", utcText(waitUntil)}});
        rememberServiceWait(waitUntil, serviceUrl);
    } else if (!javaVerURL.empty() && rememberAnswer(facts, outcome.deferred)) {
        // Only an answer that named a version counts as a check: the next start asks again.
        rememberCheck(facts.now, javaVerURL, serviceUrl);
    }
    if (outcome.deferred) {
        // The application runs already: nothing is shown after its start.
        logEvent("update-check", {{"answered-after-start", javaVerURL.empty() ? "none" : javaVerURL}});
        outcome.newer = false;
        outcome.started = startedAtDeadline(*watch);
    }
    return outcome;
}

} // namespace

CheckOutcome checkForNewerRuntime(const UpdatePolicy& policy, ProxyChoice& proxy,
                                  const ApplicationStart& installed, RuntimeScope installScope)
{
    const long long now = utcSecondsNow();
    const RememberedCheck remembered = policy.updateCheck ? readRememberedCheck() : RememberedCheck{};
    const CheckFacts facts = gatherFacts(policy, remembered, now, !installed.javaPath.empty(), installScope);
    const CheckDecision decision = decideUpdateCheck(facts);
    switch (decision.action) {
    case CheckAction::skipPolicy:
        return {};
    case CheckAction::skipServiceWait:
        logEvent("update-check", {{"skipped", "service-wait"}, {"until", utcText(remembered.notBefore)}});
        return {};
    case CheckAction::skipPeriod:
        // The remembered answer is not newer, or no longer offered: no question, no network.
        logEvent("update-check", {{"skipped", "period"},
                                  {"last", utcText(remembered.checkedAt)},
                                  {"version", remembered.version}});
        javaVerURL = remembered.version;
        return {};
    case CheckAction::check:
        break;
    }
    if (policy.checkPeriodMinutes > 0 || remembered.notBefore > 0) {
        logEvent("update-check", {{"asked", decision.reason}});
    }
    return askService(facts, proxy, decision.wait == StartWait::deadline ? &installed : nullptr);
}
