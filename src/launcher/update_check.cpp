// The update check of a start: the schedule's decision, then the probe or the remembered answer,
// and what is remembered of the service's answer for the next starts.
#include <winsock2.h> // libcurl's header, through the probe's, needs it before windows.h

#include "update_check.h"

#include "diagnostics/log.h"
#include "installation/refusal_policy.h"
#include "installation/runtime_in_use.h"
#include "launcher.h"
#include "network/connection.h"
#include "network/proxy_choice.h"
#include "platform/process_clock.h"
#include "registry/check_record.h"
#include "registry/install_failures.h"
#include "registry/runtime_records.h"
#include "update/http_date.h"
#include "update/release_probe.h"
#include "versions/versions.h"

#include <windows.h>

namespace {

CheckFacts gatherFacts(const UpdatePolicy& policy, const RememberedCheck& remembered, bool runtimeUsable,
                       RuntimeScope installScope)
{
    CheckFacts facts{.periodMinutes = policy.checkPeriodMinutes,
                     .runtimeInstalled = !javaVerReg.empty(),
                     .now = utcSecondsNow(),
                     .lastCheck = remembered.checkedAt,
                     .lastVersion = remembered.version,
                     .notBefore = remembered.notBefore,
                     .lastVersionNewer = isNewerVersion(remembered.version, javaVerReg),
                     .service = serviceUrl,
                     .lastService = remembered.service,
                     .updateCheckOn = policy.updateCheck,
                     .runtimeUsable = runtimeUsable,
                     .lateService = remembered.lateService};
    if (facts.lastVersionNewer) {
        // Only then can the record of failed installations or a running runtime change the
        // decision.
        facts.lastVersionWithdrawn =
            versionWithdrawn(readFailedInstallations(), remembered.version,
                             facts.runtimeInstalled && facts.runtimeUsable, facts.now);
        // The programs that matter run from the runtime that an upgrade replaces.
        const std::string replaced =
            facts.lastVersionWithdrawn ? std::string() : replacedRuntimeFolder(installScope);
        facts.runtimeInUse =
            !replaced.empty() && findRuntimeInUse(replaced).state == RuntimeUse::State::inUse;
    }
    return facts;
}

} // namespace

CheckPlan planUpdateCheck(const UpdatePolicy& policy, bool runtimeUsable, RuntimeScope installScope)
{
    const RememberedCheck remembered = policy.updateCheck ? readRememberedCheck() : RememberedCheck{};
    CheckPlan plan{gatherFacts(policy, remembered, runtimeUsable, installScope), {}};
    plan.decision = decideUpdateCheck(plan.facts);
    switch (plan.decision.action) {
    case CheckAction::skipPolicy:
        break;
    case CheckAction::skipServiceWait:
        logEvent("update-check", {{"skipped", "service-wait"}, {"until", utcText(remembered.notBefore)}});
        break;
    case CheckAction::skipPeriod:
        // The remembered answer is not newer, or no longer offered: no question, no network.
        logEvent("update-check", {{"skipped", "period"},
                                  {"last", utcText(remembered.checkedAt)},
                                  {"version", remembered.version}});
        javaVerURL = remembered.version;
        break;
    case CheckAction::check:
        if (policy.checkPeriodMinutes > 0 || remembered.notBefore > 0) {
            logEvent("update-check", {{"asked", plan.decision.reason}});
        }
        break;
    }
    return plan;
}

ServiceAnswer askService(const CheckPlan& plan, ProxyChoice& proxy, const ProbeBudget& budget)
{
    proxy = decideProxy(serviceUrl, budget.proxyDecided);
    ProbeAnswer probe;
    ServiceAnswer answer;
    answer.newer = getURLVersion(serviceUrl, javaVerReg, javaVerURL, proxy, budget.answered, &probe);
    answer.answeredAfterMs = millisecondsSinceProcessStart();
    const long long now = plan.facts.now;
    if (!probe.reached && reportUnreachable(now, readUnreachableReported())) {
        answer.unreachable = serviceUnreachable(urlOrigin(serviceUrl), probe.failure);
        rememberUnreachableReported(now);
    }
    const long long waitUntil = serviceWaitUntil(probe.status, probe.retryAfter, now);
    if (waitUntil > 0) {
        logEvent("service-wait", {{"status", std::to_string(probe.status)}, {"until", utcText(waitUntil)}});
        rememberServiceWait(waitUntil, serviceUrl);
        answer.waitAsked = true;
    }
    return answer;
}

void rememberServiceAnswer(const CheckPlan& plan, const ServiceAnswer& answer, bool startedWithoutAnswer)
{
    // Only an answer that named a version counts as a check: the next start asks again. A wait
    // that the service asked for stands instead.
    if (!answer.waitAsked && !javaVerURL.empty() && rememberAnswer(plan.facts, startedWithoutAnswer)) {
        rememberCheck(plan.facts.now, javaVerURL, serviceUrl);
    }
    const bool late = missedStartDeadline(answer.answeredAfterMs, startDeadlineMilliseconds);
    if (late || !plan.facts.lateService.empty()) {
        rememberLateCheck(serviceUrl, late);
    }
    if (startedWithoutAnswer) {
        // The application runs already: nothing is shown after its start.
        logEvent("update-check", {{"answered-after-start", javaVerURL.empty() ? "none" : javaVerURL},
                                  {"late", late ? "yes" : "no"}});
    }
}
