// The installation's scope, and what it asks of Windows Installer.
#include "install_scope.h"

#include "platform/ascii_case.h"

ScopeDecision decideInstallScope(const ScopeFacts& facts)
{
    if (facts.elevated) {
        return {RuntimeScope::machine, "elevated"};
    }
    if (facts.policy == ScopePolicy::machine || facts.policy == ScopePolicy::user) {
        return {facts.policy == ScopePolicy::user ? RuntimeScope::user : RuntimeScope::machine, "policy"};
    }
    // An upgrade for the machine would ask for an administrator that the user's own runtime never
    // needed, and leave that runtime behind.
    if (facts.userRuntimeStarts) {
        return {RuntimeScope::user, "upgrade-of-user-runtime"};
    }
    if (!facts.splitToken && !facts.administrator) {
        return {RuntimeScope::user, "standard-user"};
    }
    // UAC's consent prompt, or none with UAC off, installs for the machine as before.
    return {RuntimeScope::machine, "administrator"};
}

ScopePolicy scopePolicyOf(const std::string& value, bool named)
{
    if (sameIgnoringCase(value, "machine")) {
        return ScopePolicy::machine;
    }
    if (sameIgnoringCase(value, "user")) {
        return ScopePolicy::user;
    }
    return named ? ScopePolicy::ignored : ScopePolicy::none;
}

const char* scopePolicyName(ScopePolicy policy)
{
    switch (policy) {
    case ScopePolicy::machine:
        return "machine";
    case ScopePolicy::user:
        return "user";
    case ScopePolicy::ignored:
        return "ignored";
    case ScopePolicy::none:
        break;
    }
    return "none";
}

std::string installerParameters(const std::string& packagePath, const std::string& installerLog,
                                RuntimeScope scope)
{
    // The launcher starts the application right after the installation, so a restart that the
    // package asks for is left to the user (3010 counts as installed). Windows Installer never
    // closes a program by itself: with DisableShutdown the Restart Manager only detects the files
    // in use, and the user sees the FilesInUse dialog, which lists the programs that hold them
    // (Retry, Ignore, Exit) instead of offering to close them.
    std::string parameters =
        "/i \"" + packagePath + "\" REBOOT=ReallySuppress MSIRESTARTMANAGERCONTROL=DisableShutdown";
    if (scope == RuntimeScope::user) {
        // MSIINSTALLPERUSER is read only with ALLUSERS=2, and the package sets ALLUSERS=1 itself.
        // ALLUSERS="" alone would keep the files in Program Files, where the user cannot write.
        parameters += " ALLUSERS=2 MSIINSTALLPERUSER=1";
    }
    if (!installerLog.empty()) {
        parameters += " /l*v \"" + installerLog + "\"";
    }
    return parameters;
}
