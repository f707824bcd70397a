// The events of an installation's end.
#include "installation_events.h"

#include "registry/install_failures.h"

std::vector<LauncherEvent> installationEvents(const InstallationFacts& facts)
{
    const UpdateResult& result = facts.result;
    std::vector<LauncherEvent> events;
    if (result.outcome == UpdateOutcome::installed) {
        events.push_back(runtimeInstalled(facts.installed.empty() ? facts.offered : facts.installed,
                                          facts.installedForUser));
    } else if (result.outcome == UpdateOutcome::refused) {
        events.push_back(packageRefused(facts.offered, result.why, result.signer));
    } else if (result.outcome == UpdateOutcome::failed && result.installerRan) {
        events.push_back(installerFailed(facts.offered, result.exitCode, result.installerLog));
    }
    // Withdrawn once, when the count reaches the limit; later failures (with no runtime installed
    // the version is still offered) withdraw nothing new.
    if (facts.runtimeInstalled && facts.failures == mostFailedInstallations) {
        events.push_back(versionWithdrawn(facts.offered, facts.failures));
    }
    return events;
}
