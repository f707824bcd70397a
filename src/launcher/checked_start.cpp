// The start without the check's answer: at once, or at the deadline on a thread of its own.
#include "checked_start.h"

#include "diagnostics/log.h"
#include "network/network_setup.h"
#include "platform/process_clock.h"
#include "run_record.h"
#include "start_deadline.h"
#include "update_lock.h"

#include <windows.h>

namespace {

struct StartWithoutAnswer {
    const ApplicationStart* start;
    const char* reason; // why the start does not wait for the answer, for the log
};

// Starts the application before the check has answered. The log is opened right after: the
// check may take seconds more, and a log-off meanwhile would lose every line held in memory.
bool startWithoutAnswer(void* context)
{
    const auto* what = static_cast<const StartWithoutAnswer*>(context);
    logEvent("update-check",
             {{"deferred", what->reason}, {"ms", std::to_string(millisecondsSinceProcessStart())}});
    const bool started = startApplication(*what->start);
    openRunLog();
    return started;
}

bool updateUnderWay(void* /*context*/)
{
    return anotherLauncherUpdates();
}

} // namespace

CheckOutcome checkAroundStart(const CheckPlan& plan, ProxyChoice& proxy, const ApplicationStart& installed)
{
    if (plan.decision.action != CheckAction::check) {
        return {};
    }
    // While another launcher updates the runtime, a start at once would run from a folder about to
    // be replaced: the deadline's thread looks again then.
    StartWait wait = plan.decision.wait;
    if (wait == StartWait::atOnce && anotherLauncherUpdates()) {
        wait = StartWait::deadline;
    }
    // A network too slow last time: the application starts first, and before the network's
    // set-up, whose DLLs cost it time.
    StartWithoutAnswer atOnce{&installed, "late-last-time"};
    const bool startedAtOnce = wait == StartWait::atOnce && startWithoutAnswer(&atOnce);
    // The check's budget counts the network's set-up and the thread's too.
    const ProbeBudget budget = startProbeBudget();
    // The network is set up only for a start that needs it: a check, or a download. The thread
    // comes after the set-up, whose DLLs load under the loader lock that a new thread needs too.
    prepareNetwork();
    StartWithoutAnswer atDeadline{&installed, "deadline"};
    const DeadlineStartHandle watch =
        wait == StartWait::deadline ? armStartDeadline({startWithoutAnswer, updateUnderWay, &atDeadline},
                                                       afterProcessStart(startDeadlineMilliseconds))
                                    : DeadlineStartHandle(nullptr, &endDeadlineStart);
    const ServiceAnswer answer = askService(plan, proxy, budget);
    CheckOutcome outcome{answer.newer ? CheckEnd::newer : CheckEnd::current, answer.unreachable};
    if (wait == StartWait::atOnce) {
        outcome.end = startedAtOnce ? CheckEnd::started : CheckEnd::notStarted;
    } else if (!takeStartBeforeDeadline(watch.get())) {
        switch (waitForDeadlineStart(*watch)) {
        case DeadlineStartEnd::started:
            outcome.end = CheckEnd::started;
            break;
        case DeadlineStartEnd::failed:
            outcome.end = CheckEnd::notStarted;
            break;
        case DeadlineStartEnd::yieldedToUpdate:
            // The answer is acted on as a whole check's, once the other launcher is done.
            logEvent("update-check", {{"deferred", "none"}, {"reason", "another-update"}});
            outcome.end = CheckEnd::anotherUpdate;
            break;
        }
    }
    rememberServiceAnswer(plan, answer,
                          outcome.end == CheckEnd::started || outcome.end == CheckEnd::notStarted);
    return outcome;
}
