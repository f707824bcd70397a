// The launcher's entry point: find the installed runtime, offer the newest one, then start
// the application with javaw.exe through the shell.
#include <winsock2.h> // libcurl's header, through the connection's, needs it before windows.h

#include "diagnostics/log.h"
#include "installation/runtime_in_use.h"
#include "launcher.h"
#include "network/connection.h"
#include "network/proxy_choice.h"
#include "platform/late_libraries.h"
#include "platform/launch_paths.h"
#include "platform/system_library.h"
#include "policy.h"
#include "prompts/prompt_flow.h"
#include "registry/install_failures.h"
#include "registry/registry.h"
#include "registry/runtime_records.h"
#include "run_record.h"
#include "update_check.h"
#include "update_lock.h"
#include "versions/versions.h"

#include <windows.h>

#include <shellapi.h>

namespace {

const char* const pathValueName = "Path";
// Where the application's own (32-bit) installer records its folder, whichever runtime line the
// launcher serves.
const char* const applicationKey = R"(SOFTWARE\WOW6432Node\Marveth\KLV)";
// Both class-path entries are relative to the application's folder, the working directory.
const char* const applicationArguments = R"(-cp RXTXcomm.jar;bin\de\norvel\KLV\KLV\KLV.jar main.klv)";

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
int offerUpdate(const ProxyChoice& proxy, bool elevated)
{
    const FailedInstallations failures = readFailedInstallations();
    if (failures.count > 0 && failures.version != javaVerURL) {
        clearFailedInstallations(); // another version is offered now: it gets its chances
    }
    // A version that failed to install again and again (a user who is no administrator, a
    // machine that refuses it) is not offered at every start; without a runtime there is
    // nothing else to start, so then the question still comes.
    if (!javaVerReg.empty() && failures.version == javaVerURL && failures.count >= mostFailedInstallations) {
        logEvent("not-offered", {{"version", javaVerURL},
                                 {"failed-installations", std::to_string(failures.count)},
                                 {"last-exit-code", std::to_string(failures.lastExitCode)}});
        return 0;
    }
    UpdateLock lock(nullptr, nullptr);
    const bool ownTurn = takeUpdateTurn(lock);
    // Another launcher may have asked and installed meanwhile: what is installed now counts.
    javaVerReg = findjavaVersionReg(elevated);
    if (!ownTurn || (!javaVerReg.empty() && !isNewerVersion(javaVerURL, javaVerReg))) {
        logEvent("not-offered", {{"version", javaVerURL}, {"installed-meanwhile", javaVerReg}});
        return 0;
    }
    const std::string installedFolder =
        javaVerReg.empty() ? std::string() : runtimeFolderOf(letToDot(javaVerReg), elevated).folder;
    if (!javaVerReg.empty() && installedRuntimeInUse(installedFolder)) {
        return 0;
    }
    // A question and an installation are slow anyway; the log is open for them, and Windows
    // Installer's log goes beside it.
    openRunLog();
    return winUI(javaVerReg.empty() ? 0 : 1, proxy, installedFolder);
}

int runLaunchSequence(const UpdatePolicy& policy)
{
    // Without its folder the application would run in whatever folder the launcher was started
    // from, loading whatever jars lie there; and there is no point in updating its runtime.
    const std::string klvPath = queryRegistry(applicationKey, pathValueName, HKEY_LOCAL_MACHINE);
    logEvent("application", {{"folder", klvPath}, {"usable", isAbsoluteFolder(klvPath) ? "yes" : "no"}});
    if (!isAbsoluteFolder(klvPath)) {
        return recordEnd("no-application", reportNoApplication());
    }

    // An elevated launcher passes its elevation on; it never asks for elevation itself.
    const bool elevated = IsRunAsAdmin();
    const InstalledRuntime installed = findInstalledRuntime(elevated);
    javaVerReg = installed.version;
    logEvent("installed", {{"version", javaVerReg.empty() ? "none" : javaVerReg},
                           {"scope", javaVerReg.empty() ? "none" : scopeName(installed.scope)}});
    if (!installed.userLeftOut.empty()) {
        // Unelevated programs of the user can change that record and folder.
        logEvent("runtime-left-out",
                 {{"scope", "user"}, {"version", installed.userLeftOut}, {"reason", "elevated"}});
    }
    SHELLEXECUTEINFOA sei{};

    serviceUrl = policy.serviceUrl;
    trustedPublishers = policy.trustedPublishers;
    logEvent("policy", {{"update-check", policy.updateCheck ? "on" : "off"},
                        {"service", urlScheme(serviceUrl) + "://" + urlHost(serviceUrl)},
                        {"mirror", serviceUrl == apiUrl ? "no" : "yes"},
                        {"added-publishers", std::to_string(trustedPublishers.size())},
                        {"check-period-minutes",
                         policy.checkPeriodIgnored ? "ignored" : std::to_string(policy.checkPeriodMinutes)}});
    ProxyChoice proxy;
    const bool newer = policy.updateCheck && newerRuntimeOffered(policy, proxy);
    // Without a question, the log waits until the application has been started.
    if (newer && offerUpdate(proxy, elevated) == 1) {
        return recordEnd("not-started", 1);
    }
    if (javaVerDot.empty()) {
        // No newer version known, no check wanted, or no offer made: use the installed runtime.
        javaVerDot = letToDot(javaVerReg);
    }

    // Without a runtime folder the shell would resolve a relative bin\javaw.exe against the
    // current folder, so whoever controls that folder would choose what runs.
    const RuntimeFolder runtime = runtimeFolderOf(javaVerDot, elevated);
    const std::string javaPath = javawBelow(runtime.folder);
    logEvent("runtime", {{"version", javaVerDot.empty() ? "none" : javaVerDot},
                         {"folder", runtime.folder},
                         {"scope", scopeName(runtime.scope)},
                         {"usable", javaPath.empty() ? "no" : "yes"}});
    if (javaPath.empty()) {
        return recordEnd("no-runtime", reportNoRuntime());
    }
    const std::string finalArgs = applicationArguments;

    sei.cbSize = sizeof(sei);
    // The shell hands back the application's process handle; it is never used and is released
    // when this process ends. The launcher ends right after this call, so the shell must finish
    // the start before it returns (SEE_MASK_NOASYNC) rather than on a thread of its own.
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    sei.lpVerb = elevated ? "runas" : "open";
    sei.lpFile = javaPath.c_str();
    sei.lpParameters = finalArgs.c_str();
    sei.lpDirectory = klvPath.c_str();
    sei.nShow = SW_HIDE;
    // The shell's documentation asks for COM on a thread that calls ShellExecuteEx, since file
    // types may be handled by COM objects. Starting an .exe involves none of them, so the
    // multi-threaded apartment serves; unlike a single-threaded one it costs no hidden window
    // at every start. The update stage has left its single-threaded apartment by now, so the
    // thread is free to join this one.
    const HRESULT com = enterComApartment(COINIT_MULTITHREADED | COINIT_DISABLE_OLE1DDE);
    // A refused or failed start is the shell's to report; the launcher's job ends here.
    const bool started = ShellExecuteExA(&sei) != FALSE;
    const DWORD error = started ? ERROR_SUCCESS : GetLastError();
    if (SUCCEEDED(com)) {
        leaveComApartment();
    }
    logEvent("start-application", {{"path", javaPath},
                                   {"verb", sei.lpVerb},
                                   {"result", started ? "ok" : "failed"},
                                   {"error", std::to_string(error)}});
    return recordEnd(started ? "application-started" : "start-failed", 0);
}

} // namespace

int main()
{
    // Before anything could call into a DLL that is loaded late.
    loadLateLibrariesFromSystemFolder([](const char* dll, unsigned long error) {
        logEvent("library", {{"name", dll}, {"result", "not loaded"}, {"error", std::to_string(error)}});
    });
    // The network is set up only where the update check needs it.
    const UpdatePolicy policy = readUpdatePolicy(apiUrl);
    recordStart();
    return runLaunchSequence(policy);
}
