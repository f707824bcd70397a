// Which events an installation's outcome writes into the Windows Event Log. No platform header:
// the mapping is a row table in its test.
#pragma once

#include "diagnostics/event_catalog.h"
#include "update_outcome.h"

#include <string>
#include <vector>

// What the end of an installation knows.
struct InstallationFacts {
    UpdateResult result;
    std::string offered;           // the version offered, in letter form
    std::string installed{};       // installed: the version read back from the registry
    bool installedForUser = false; // installed: the runtime read back is the user's own
    unsigned long failures = 0;    // the failed installations of offered stored now; 0: none counted
    bool runtimeInstalled = false; // a runtime that can start was there: only then is a version withdrawn
};

// A runtime installed: information. A package refused: a warning with the reason and the signer.
// Windows Installer failed: an error with its exit code and the name of its kept log. A version
// that has just failed for the last time it is offered: a warning besides. Anything else (the
// user's No or Cancel, a failed download, a busy Windows Installer, the runtime in use): none.
std::vector<LauncherEvent> installationEvents(const InstallationFacts& facts);
