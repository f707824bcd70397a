// The update check around the application's start: the start waits for the check's whole answer,
// for the start deadline at most (then the start is made on a thread of its own while the check
// goes on), or not at all (the last check of this service missed the deadline), as the schedule
// decided. The check itself only answers; what is started, and when, is decided here.
#pragma once

#include "application_start.h"
#include "update_check.h"

#include <optional>

enum class CheckEnd {
    current,       // nothing newer is offered (or nothing was asked): the installed runtime starts
    newer,         // javaVerURL is newer than javaVerReg, or nothing is installed: offer it
    started,       // the application was started without the answer, which is only remembered
    notStarted,    // its start was tried without the answer, and the shell did not start it
    anotherUpdate, // another launcher was updating at the deadline: nothing started; wait for it
};

struct CheckOutcome {
    CheckEnd end = CheckEnd::current;
    // The service could not be reached: written into the Event Log once the application is started.
    std::optional<LauncherEvent> unreachable{};
};

// Runs the check that plan decided on, through proxy (the run's choice for a download), and
// starts the application with installed where the plan does not wait for the answer.
CheckOutcome checkAroundStart(const CheckPlan& plan, ProxyChoice& proxy, const ApplicationStart& installed);
