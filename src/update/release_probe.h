// The release probe: one header-only request to the release service at every start.
#pragma once

#include "network/proxy_settings.h"
#include "platform/wait_time.h"

#include <string>

// The time the update check may take at start, and its first part, in which the proxy must be
// decided (a configuration script that has not answered by then is given up).
struct ProbeBudget {
    Deadline proxyDecided;
    Deadline answered;
};

// The budget of a check that starts now.
ProbeBudget startProbeBudget();

// The last answer of the service, for its "wait": the status and the Retry-After value.
struct ProbeAnswer {
    long status = 0;
    std::string retryAfter;
    bool reached = false;  // the service (or a proxy on its behalf) answered at all
    std::string failure{}; // not reached: libcurl's result in words
};

// Asks the service at apiUrl, through proxy, which installer is newest and stores its
// letter-form version in javaVerURL (empty when none was found) before deadline. True when a
// version was found and it is higher than the installed javaVerLet, or nothing is installed.
// When a direct request could not reach the service and automatic detection found a proxy,
// proxy becomes that choice, for the download too. answer, where given, receives the service's
// last answer.
bool getURLVersion(const std::string& apiUrl, const std::string& javaVerLet, std::string& javaVerURL,
                   ProxyChoice& proxy, Deadline deadline, ProbeAnswer* answer = nullptr);
