// Whether this start asks the release service, and what stands for its answer when it does not.
#pragma once

#include "application_start.h"
#include "network/proxy_settings.h"
#include "policy.h"

// What the update check of a start came to.
struct CheckOutcome {
    bool newer = false;    // javaVerURL is newer than javaVerReg (or nothing is installed)
    bool deferred = false; // the answer came too late: the application was started without it
    bool started = false;  // deferred: the shell started the application
};

// Stores in javaVerURL the newest version the service names (asked now, within the check's time
// budget, or remembered from a check within the administrators' period) and tells whether it is
// higher than javaVerReg or nothing is installed. No request is sent while the service has asked
// to wait, nor within the period unless the remembered answer would lead to a question: a question
// and its download follow the service's answer of now. proxy is the run's decision wherever a
// download may follow. installed is the start with the installed runtime (javaPath empty when
// none is usable): where the check would hold the start up, that start is made at the start
// deadline, and the rest of the check runs after it. installScope is for whom an installation
// would be: a question may follow only where the runtime it replaces is not in use.
CheckOutcome checkForNewerRuntime(const UpdatePolicy& policy, ProxyChoice& proxy,
                                  const ApplicationStart& installed, RuntimeScope installScope);
