// The update check of a start: the schedule's decision, then the probe or the remembered answer,
// and what is remembered of the service's answer for the next starts.
#include <winsock2.h> // libcurl's header, through the probe's, needs it before windows.h

#include "update_check.h"

#include "diagnostics/log.h"
#include "launcher.h"
#include "network/network_setup.h"
#include "network/proxy_choice.h"
#include "registry/check_record.h"
#include "registry/install_failures.h"
#include "update/check_schedule.h"
#include "update/http_date.h"
#include "update/release_probe.h"
#include "versions/versions.h"

#include <windows.h>

namespace {

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

// The network is set up only for a start that needs it: a check, or a download.
void decideNetwork(ProxyChoice& proxy, const ProbeBudget& budget)
{
    prepareNetwork();
    proxy = decideProxy(serviceUrl, budget.proxyDecided);
}

bool askService(const UpdatePolicy& policy, ProxyChoice& proxy, long long now)
{
    const ProbeBudget budget = startProbeBudget();
    decideNetwork(proxy, budget);
    ProbeAnswer answer;
    const bool newer = getURLVersion(serviceUrl, javaVerReg, javaVerURL, proxy, budget.answered, &answer);
    const long long waitUntil = serviceWaitUntil(answer.status, answer.retryAfter, now);
    if (waitUntil > 0) {
        logEvent("service-wait", {{"status", std::to_string(answer.status)}, {"until", utcText(waitUntil)}});
        rememberServiceWait(waitUntil, serviceUrl);
    } else if (policy.checkPeriodMinutes > 0 && !javaVerURL.empty()) {
        // Only an answer that named a version counts as a check: the next start asks again.
        rememberCheck(now, javaVerURL, serviceUrl);
    }
    return newer;
}

} // namespace

bool newerRuntimeOffered(const UpdatePolicy& policy, ProxyChoice& proxy)
{
    const long long now = utcSecondsNow();
    const RememberedCheck remembered = readRememberedCheck();
    CheckFacts facts;
    facts.periodMinutes = policy.checkPeriodMinutes;
    facts.runtimeInstalled = !javaVerReg.empty();
    facts.now = now;
    facts.lastCheck = remembered.checkedAt;
    facts.lastVersion = remembered.version;
    facts.notBefore = remembered.notBefore;
    facts.service = serviceUrl;
    facts.lastService = remembered.service;
    facts.lastVersionNewer = isNewerVersion(remembered.version, javaVerReg);
    if (facts.lastVersionNewer) {
        // Only then can the record of failed installations change the decision.
        const FailedInstallations failures = readFailedInstallations();
        facts.lastVersionWithdrawn =
            failures.version == remembered.version && failures.count >= mostFailedInstallations;
    }
    const CheckDecision decision = decideUpdateCheck(facts);
    switch (decision.action) {
    case CheckAction::skipServiceWait:
        logEvent("update-check", {{"skipped", "service-wait"}, {"until", utcText(remembered.notBefore)}});
        return false;
    case CheckAction::skipPeriod:
        // The remembered answer is not newer, or no longer offered: no question, no network.
        logEvent("update-check", {{"skipped", "period"},
                                  {"last", utcText(remembered.checkedAt)},
                                  {"version", remembered.version}});
        javaVerURL = remembered.version;
        return false;
    case CheckAction::check:
        break;
    }
    if (policy.checkPeriodMinutes > 0 || remembered.notBefore > 0) {
        logEvent("update-check", {{"asked", decision.reason}});
    }
    return askService(policy, proxy, now);
}
