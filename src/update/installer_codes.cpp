// What Windows Installer's exit codes mean.
#include "installer_codes.h"

#include <algorithm>
#include <iterator>

namespace {

struct ExitMeaning {
    unsigned long code;
    // cppcheck-suppress unusedStructMember ; it is read through the result of std::find_if
    const char* meaning;
};

const ExitMeaning meanings[] = {
    {installerSuccess, "installed"},
    {installerRebootRequired, "installed, restart required"},
    {installerRebootStarted, "installed, restart started"},
    {installerUserCancelled, "cancelled by the user"},
    {installerFatalError, "fatal error during installation"},
    {installerAnotherRunning, "another installation is in progress"},
    {1619, "package could not be opened"},
    {1620, "not a valid package"},
    {1625, "forbidden by system policy"},
    {1627, "function failed"},
    {1638, "another version of this product is installed"},
    {1639, "invalid command line"},
};

} // namespace

bool installerSucceeded(unsigned long exitCode)
{
    return exitCode == installerSuccess || exitCode == installerRebootRequired
           || exitCode == installerRebootStarted;
}

const char* installerExitMeaning(unsigned long exitCode)
{
    const auto* found = std::find_if(std::begin(meanings), std::end(meanings),
                                     [exitCode](const ExitMeaning& row) { return row.code == exitCode; });
    return found != std::end(meanings) ? found->meaning : "failed";
}
