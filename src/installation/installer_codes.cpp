// What Windows Installer's exit codes mean, and how an update ends.
#include "installer_codes.h"

#include <algorithm>
#include <iterator>

namespace {

struct ExitMeaning {
    unsigned long code;
    // cppcheck-suppress unusedStructMember ; it is read through the result of std::find_if
    const char* meaning;
    UpdateOutcome outcome;
};

// One table for what the launcher makes of an exit code; a code not in it is a failure.
const ExitMeaning meanings[] = {
    {installerSuccess, "installed", UpdateOutcome::installed},
    {installerRebootRequired, "installed, restart required", UpdateOutcome::installed},
    {installerRebootStarted, "installed, restart started", UpdateOutcome::installed},
    {installerUserCancelled, "cancelled by the user", UpdateOutcome::declined},
    {elevationDeclined, "elevation declined", UpdateOutcome::declined},
    {installerFatalError, "fatal error during installation", UpdateOutcome::failed},
    {installerAnotherRunning, "another installation is in progress", UpdateOutcome::installerBusy},
    {1619, "package could not be opened", UpdateOutcome::failed},
    {1620, "not a valid package", UpdateOutcome::failed},
    {installerRefusedByPolicy, "forbidden by system policy", UpdateOutcome::failed},
    {1627, "function failed", UpdateOutcome::failed},
    {1638, "another version of this product is installed", UpdateOutcome::failed},
    {1639, "invalid command line", UpdateOutcome::failed},
};

const ExitMeaning* rowOf(unsigned long exitCode)
{
    const auto* found = std::find_if(std::begin(meanings), std::end(meanings),
                                     [exitCode](const ExitMeaning& row) { return row.code == exitCode; });
    return found != std::end(meanings) ? found : nullptr;
}

} // namespace

bool installerSucceeded(unsigned long exitCode)
{
    return outcomeOfExitCode(exitCode) == UpdateOutcome::installed;
}

UpdateOutcome outcomeOfExitCode(unsigned long exitCode)
{
    const ExitMeaning* row = rowOf(exitCode);
    return row != nullptr ? row->outcome : UpdateOutcome::failed;
}

const char* installerExitMeaning(unsigned long exitCode)
{
    const ExitMeaning* row = rowOf(exitCode);
    return row != nullptr ? row->meaning : "failed";
}

const char* outcomeName(UpdateOutcome outcome)
{
    switch (outcome) {
    case UpdateOutcome::installed:
        return "installed";
    case UpdateOutcome::declined:
        return "declined";
    case UpdateOutcome::cancelled:
        return "cancelled";
    case UpdateOutcome::refused:
        return "refused";
    case UpdateOutcome::installerBusy:
        return "installer-busy";
    case UpdateOutcome::failed:
        break;
    }
    return "failed";
}

bool countsAsFailedInstallation(const UpdateResult& result)
{
    return result.outcome == UpdateOutcome::failed && result.installerRan;
}
