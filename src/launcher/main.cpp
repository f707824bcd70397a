// The launcher's entry point: find the installed runtime, offer the newest one, then start
// the application with javaw.exe through the shell.
#include <winsock2.h> // libcurl's header, through the connection's, needs it before windows.h

#include "application_start.h"
#include "checked_start.h"
#include "diagnostics/event_log.h"
#include "diagnostics/log.h"
#include "installation/install_scope.h"
#include "installation/installer.h"
#include "installation/refusal_policy.h"
#include "installation/runtime_in_use.h"
#include "launcher.h"
#include "network/connection.h"
#include "network/proxy_choice.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/late_libraries.h"
#include "platform/launch_paths.h"
#include "platform/process_clock.h"
#include "policy.h"
#include "prompts/prompt_flow.h"
#include "registry/install_failures.h"
#include "registry/registry.h"
#include "registry/runtime_records.h"
#include "run_record.h"
#include "update_lock.h"
#include "versions/versions.h"

#include <windows.h>

namespace {

const char* const pathValueName = "Path";
// Where the application's own (32-bit) installer records its folder, whichever runtime line the
// launcher serves.
const char* const applicationKey = R"(SOFTWARE\WOW6432Node\Marveth\KLV)";

// True when a program runs from the installed runtime: its upgrade would replace files that the
// program holds, and Windows Installer would offer to close it. The next start offers it again.
bool installedRuntimeInUse(const std::string& folder)
{
    const RuntimeUse use = findRuntimeInUse(folder);
    if (use.state == RuntimeUse::State::inUse) {
        logEvent("not-offered", {{"reason", "runtime-in-use"},
                                 {"process", use.process},
                                 {"pid", std::to_string(use.pid)},
                                 {"version", javaVerURL}});
        return true;
    }
    if (use.state == RuntimeUse::State::unknown) {
        logEvent("runtime-in-use", {{"result", "could not tell"}});
    }
    return false;
}

// The service offers a newer version than is installed (or none is installed). Returns what
// winUI returns, or 0 without a question, with the installed runtime to start.
int offerUpdate(const ProxyChoice& proxy, const TokenFacts& token, const ScopeDecision& scope)
{
    const FailedInstallations failures = readFailedInstallations();
    if (!failures.version.empty() && failures.version != javaVerURL) {
        clearFailedInstallations(); // another version is offered now: it gets its chances
    }
    // A version that failed to install again and again (a user who is no administrator, a
    // machine that refuses it), or whose download keeps failing, is not offered at every start;
    // without a runtime that can start (its javaw.exe gone, or none at all) there is nothing else
    // to start, so then the question still comes.
    const bool runtimeUsable =
        !javaVerReg.empty()
        && isExistingFile(javawBelow(runtimeFolderOf(letToDot(javaVerReg), token.elevated).folder));
    if (versionWithdrawn(failures, javaVerURL, runtimeUsable, utcSecondsNow())) {
        logEvent("not-offered", {{"version", javaVerURL},
                                 {"failed-installations", std::to_string(failures.count)},
                                 {"last-exit-code", std::to_string(failures.lastExitCode)},
                                 {"failed-attempts", std::to_string(failures.failedAttempts)}});
        return 0;
    }
    // The programs that matter run from the runtime that the installation replaces: the
    // machine's for an installation for the machine, the user's own for one for the user. Looked
    // at before the turn, which may mean waiting behind another launcher's open question.
    const std::string replacedFolder = replacedRuntimeFolder(scope.scope);
    if (!replacedFolder.empty() && installedRuntimeInUse(replacedFolder)) {
        return 0;
    }
    UpdateLock lock(nullptr, nullptr);
    const bool ownTurn = takeUpdateTurn(lock);
    // Another launcher may have asked and installed meanwhile: what is installed now counts.
    javaVerReg = findjavaVersionReg(token.elevated);
    if (!ownTurn || (!javaVerReg.empty() && !isNewerVersion(javaVerURL, javaVerReg))) {
        logEvent("not-offered", {{"version", javaVerURL}, {"installed-meanwhile", javaVerReg}});
        return 0;
    }
    // A question and an installation are slow anyway; the log is open for them, and Windows
    // Installer's log goes beside it.
    openRunLog();
    logEvent("offer",
             {{"version", javaVerURL}, {"install-scope", scopeName(scope.scope)}, {"reason", scope.reason}});
    return winUI(javaVerReg.empty() ? 0 : 1, {.publishers = trustedPublishers,
                                              .administrator = token.administrator,
                                              .elevated = token.elevated,
                                              .proxy = proxy,
                                              .logFolder = openLogFolder(),
                                              .runtimeFolder = replacedFolder,
                                              .runtimeUsable = runtimeUsable,
                                              .scope = scope.scope});
}

// What the check leaves for the Event Log is written once the application has started (or
// cannot): writing it may take a moment that the start should not wait for.
void reportAfterStart(const CheckOutcome& check)
{
    if (check.unreachable) {
        reportEvent(*check.unreachable);
    }
}

// Another launcher was updating the runtime at the start deadline: its turn is waited for, as a
// whole check would, and the runtime installed now is compared with the service's answer.
bool afterAnotherUpdate(bool elevated)
{
    UpdateLock lock(nullptr, nullptr);
    (void)takeUpdateTurn(lock);
    lock.reset();
    javaVerReg = findjavaVersionReg(elevated);
    logEvent("installed",
             {{"version", javaVerReg.empty() ? "none" : javaVerReg}, {"after", "another-update"}});
    return !javaVerURL.empty() && isNewerVersion(javaVerURL, javaVerReg);
}

int runLaunchSequence(const UpdatePolicy& policy, const TokenFacts& token)
{
    // Without its folder the application would run in whatever folder the launcher was started
    // from, loading whatever jars lie there; and there is no point in updating its runtime.
    const std::string klvPath = queryRegistry(applicationKey, pathValueName, HKEY_LOCAL_MACHINE);
    logEvent("application", {{"folder", klvPath}, {"usable", isAbsoluteFolder(klvPath) ? "yes" : "no"}});
    if (!isAbsoluteFolder(klvPath)) {
        return recordEnd("no-application", reportNoApplication());
    }

    // An elevated launcher reads no runtime of the user's: the user's unelevated programs can
    // change its record and folder, and the launcher would start them with its rights.
    const bool elevated = token.elevated;
    const InstalledRuntime installed = findInstalledRuntime(elevated);
    javaVerReg = installed.version;
    logEvent("installed", {{"version", javaVerReg.empty() ? "none" : javaVerReg},
                           {"scope", javaVerReg.empty() ? "none" : scopeName(installed.scope)}});
    if (!installed.userLeftOut.empty()) {
        // Unelevated programs of the user can change that record and folder.
        logEvent("runtime-left-out",
                 {{"scope", "user"}, {"version", installed.userLeftOut}, {"reason", "elevated"}});
    }
    serviceUrl = policy.serviceUrl;
    trustedPublishers = policy.trustedPublishers;
    logEvent("policy", {{"update-check", policy.updateCheck ? "on" : "off"},
                        {"service", urlOrigin(serviceUrl)},
                        {"mirror", serviceUrl == apiUrl ? "no" : "yes"},
                        {"added-publishers", std::to_string(trustedPublishers.size())},
                        {"check-period-minutes",
                         policy.checkPeriodIgnored ? "ignored" : std::to_string(policy.checkPeriodMinutes)},
                        {"install-scope", scopePolicyName(policy.installScope)}});
    const ScopeDecision scope =
        decideInstallScope({.elevated = elevated,
                            .policy = policy.installScope,
                            .userRuntimeStarts = !javaVerReg.empty() && installed.scope == RuntimeScope::user,
                            .splitToken = token.splitToken,
                            .administrator = token.administrator});
    // The start with the installed runtime is ready before the check: a check that would hold it
    // up makes it at the start deadline.
    const std::string installedDot = letToDot(javaVerReg);
    const RuntimeFolder installedRuntime =
        javaVerReg.empty() ? RuntimeFolder{} : runtimeFolderOf(installedDot, elevated);
    ApplicationStart start{.javaPath = javawBelow(installedRuntime.folder),
                           .klvPath = klvPath,
                           .administrator = token.administrator};
    ProxyChoice proxy;
    const CheckPlan plan = planUpdateCheck(policy, isExistingFile(start.javaPath), scope.scope);
    const CheckOutcome check = checkAroundStart(plan, proxy, start);
    if (check.end == CheckEnd::started || check.end == CheckEnd::notStarted) {
        reportAfterStart(check);
        return recordEnd(check.end == CheckEnd::started ? "application-started" : "start-failed", 0);
    }
    bool newer = check.end == CheckEnd::newer;
    if (check.end == CheckEnd::anotherUpdate) {
        newer = afterAnotherUpdate(elevated);
    }
    // Without a question, the log waits until the application has been started.
    if (newer && offerUpdate(proxy, token, scope) == 1) {
        reportAfterStart(check);
        return recordEnd("not-started", 1);
    }
    if (javaVerDot.empty()) {
        // No newer version known, no check wanted, or no offer made: use the installed runtime, as
        // read again where another launcher may have installed one meanwhile.
        javaVerDot = letToDot(javaVerReg);
    }

    // Without a runtime folder the shell would resolve a relative bin\javaw.exe against the
    // current folder, so whoever controls that folder would choose what runs.
    const RuntimeFolder runtime =
        javaVerDot == installedDot ? installedRuntime : runtimeFolderOf(javaVerDot, elevated);
    start.javaPath = javawBelow(runtime.folder);
    logEvent("runtime", {{"version", javaVerDot.empty() ? "none" : javaVerDot},
                         {"folder", runtime.folder},
                         {"scope", scopeName(runtime.scope)},
                         {"usable", start.javaPath.empty() ? "no" : "yes"}});
    if (start.javaPath.empty()) {
        reportAfterStart(check);
        return recordEnd("no-runtime", reportNoRuntime());
    }
    const bool started = startApplication(start);
    reportAfterStart(check);
    return recordEnd(started ? "application-started" : "start-failed", 0);
}

} // namespace

int main()
{
    // Its window would stand empty behind the dialogs and the application for the whole run.
    releaseOwnConsole();
    // Before anything could call into a DLL that is loaded late.
    reportLateLibraryFailures([](const char* dll, unsigned long error) {
        logEvent("library", {{"name", dll}, {"result", "not loaded"}, {"error", std::to_string(error)}});
    });
    // The network is set up only where the update check needs it.
    const UpdatePolicy policy = readUpdatePolicy(apiUrl);
    const TokenFacts token = readTokenFacts();
    recordStart(token);
    return runLaunchSequence(policy, token);
}
