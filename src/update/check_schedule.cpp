// The schedule of the update check: the decision, the service's wait and the times it takes.
#include "check_schedule.h"

#include "http_date.h"
#include "network/transfer_result.h"

namespace {

constexpr long tooManyRequests = 429;
constexpr long serviceUnavailable = 503;
constexpr long long secondsPerMinute = 60;

} // namespace

namespace {

bool rememberedNewer(const CheckFacts& facts)
{
    return facts.service == facts.lastService && facts.lastVersionNewer && !facts.lastVersionWithdrawn;
}

CheckDecision scheduleCheck(const CheckFacts& facts)
{
    if (!facts.updateCheckOn) {
        return {CheckAction::skipPolicy, "policy"};
    }
    if (!facts.runtimeInstalled) {
        return {CheckAction::check, "no-runtime"};
    }
    // What another service said (the administrators named a mirror, or another build of the
    // launcher answered for another runtime line) says nothing of this one.
    if (facts.service != facts.lastService) {
        return {CheckAction::check, facts.lastService.empty() ? "nothing-remembered" : "service-changed"};
    }
    if (facts.notBefore > facts.now && facts.notBefore - facts.now <= longestServiceWaitSeconds) {
        return {CheckAction::skipServiceWait, "service-wait"};
    }
    const long long period = static_cast<long long>(facts.periodMinutes) * secondsPerMinute;
    const bool remembered = facts.lastCheck > 0 && !facts.lastVersion.empty();
    // A time in the future says the clock was set back since: the answer's age is unknown.
    if (facts.periodMinutes == 0 || facts.periodMinutes > longestCheckPeriodMinutes || !remembered
        || facts.lastCheck > facts.now || facts.now - facts.lastCheck >= period) {
        return {CheckAction::check, facts.periodMinutes == 0 ? "every-start" : "period-over"};
    }
    if (rememberedNewer(facts)) {
        return {CheckAction::check, "remembered-newer"};
    }
    return {CheckAction::skipPeriod, "period"};
}

} // namespace

CheckDecision decideUpdateCheck(const CheckFacts& facts)
{
    CheckDecision decision = scheduleCheck(facts);
    if (decision.action == CheckAction::check) {
        const bool questionMayFollow = rememberedNewer(facts) && !facts.runtimeInUse;
        const bool lateLastTime = !facts.lateService.empty() && facts.lateService == facts.service;
        if (!facts.runtimeInstalled || !facts.runtimeUsable || questionMayFollow) {
            decision.wait = StartWait::wholeCheck;
        } else {
            decision.wait = lateLastTime ? StartWait::atOnce : StartWait::deadline;
        }
    }
    return decision;
}

bool missedStartDeadline(long long answeredAfterMilliseconds, long long deadlineMilliseconds)
{
    return answeredAfterMilliseconds > deadlineMilliseconds;
}

bool rememberAnswer(const CheckFacts& facts, bool deferred)
{
    return facts.periodMinutes > 0 || deferred
           || (facts.service == facts.lastService && !facts.lastVersion.empty());
}

bool reportUnreachable(long long now, long long lastReported)
{
    constexpr long long secondsPerDay = 24LL * 60 * 60;
    return lastReported <= 0 || lastReported > now || now - lastReported >= secondsPerDay;
}

long long serviceWaitUntil(long status, const std::string& retryAfter, long long now)
{
    if (status != tooManyRequests && status != serviceUnavailable) {
        return 0;
    }
    const long seconds = retryAfterSeconds(retryAfter, static_cast<long>(longestServiceWaitSeconds));
    const long long date = seconds < 0 ? httpDateSeconds(retryAfter, now) : -1;
    const long long until = seconds >= 0 ? now + seconds : date;
    if (until <= now) {
        return 0;
    }
    return until - now > longestServiceWaitSeconds ? now + longestServiceWaitSeconds : until;
}
