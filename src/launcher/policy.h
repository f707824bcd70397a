// What administrators of a managed machine decide through Group Policy: whether the launcher
// asks the release service at all, how often, which service (a mirror of their own) it asks, and
// for whom it installs the runtime.
#pragma once

#include "installation/install_scope.h"

#include <string>
#include <vector>

struct UpdatePolicy {
    bool updateCheck = true; // false: no request to the service and never a question
    std::string serviceUrl;  // the release service for the probe and the download
    // Organisations whose signature is accepted on an installer besides the runtime's
    // publisher, for a mirror that signs the packages again.
    std::vector<std::string> trustedPublishers;
    // At most one check in this many minutes per user; 0: a check at every start.
    unsigned long checkPeriodMinutes = 0;
    bool checkPeriodIgnored = false; // the policy named a period that cannot be one
    // For whom the runtime is installed: set, every installation is the machine's or the user's.
    ScopePolicy installScope = ScopePolicy::none;
};

// Reads HKLM\SOFTWARE\Policies\Marveth\KLV. Without the key (every unmanaged machine), or for
// values that are missing or not acceptable, the launcher behaves as built: it checks for
// updates at compiledInUrl.
UpdatePolicy readUpdatePolicy(const std::string& compiledInUrl);

// Keeps the entries of a TrustedPublishers list that can be organisation names: printable, of
// at most 128 characters, and at most 16 of them.
std::vector<std::string> acceptedPublishers(const std::vector<std::string>& entries);

// True for an http:// or https:// URL with a host, of at most 2,048 characters, without spaces
// or control characters: the only kind of mirror URL the launcher will use.
bool isAcceptedServiceUrl(const std::string& url);
