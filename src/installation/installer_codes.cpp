// What Windows Installer's exit codes mean, and how an update ends.
#include "installer_codes.h"

#include <algorithm>
#include <iterator>

namespace {

struct ExitMeaning {
    unsigned long code;
    UpdateOutcome outcome;
    // cppcheck-suppress unusedStructMember ; it is read through the result of std::find_if
    const char* meaning;
};

// One table for what the launcher makes of an exit code; a code not in it is a failure.
const ExitMeaning meanings[] = {
    {installerSuccess, UpdateOutcome::installed, "installed"},
    {installerRebootRequired, UpdateOutcome::installed, "installed, restart required"},
    {installerRebootStarted, UpdateOutcome::installed, "installed, restart started"},
    {installerUserCancelled, UpdateOutcome::declined, "cancelled by the user"},
    {elevationDeclined, UpdateOutcome::declined, "elevation declined"},
    {installerFatalError, UpdateOutcome::failed, "fatal error during installation"},
    {installerAnotherRunning, UpdateOutcome::installerBusy, "another installation is in progress"},
    {1619, UpdateOutcome::failed, "package could not be opened"},
    {1620, UpdateOutcome::failed, "not a valid package"},
    {installerRefusedByPolicy, UpdateOutcome::failed, "forbidden by system policy"},
    {1627, UpdateOutcome::failed, "function failed"},
    {1638, UpdateOutcome::failed, "another version of this product is installed"},
    {1639, UpdateOutcome::failed, "invalid command line"},
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
    case UpdateOutcome::runtimeInUse:
        return "runtime-in-use";
    case UpdateOutcome::failed:
        break;
    }
    return "failed";
}
