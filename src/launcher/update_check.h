// Whether this start asks the release service, and what stands for its answer when it does not.
#pragma once

#include "network/proxy_settings.h"
#include "policy.h"

// Stores in javaVerURL the newest version the service names (asked now, within the check's time
// budget, or remembered from a check within the administrators' period) and returns true when
// it is higher than javaVerReg or nothing is installed. No request is sent while the service has
// asked to wait, nor within the period unless the remembered answer would lead to a question: a
// question and its download follow the service's answer of now. proxy is the run's decision
// wherever a download may follow.
bool newerRuntimeOffered(const UpdatePolicy& policy, ProxyChoice& proxy);
