// Windows Installer runs one installation at a time. While one runs, its service holds the
// mutex Global\_MSIExecute, and a second msiexec ends with 1618; so the launcher waits for its
// turn first, and tries again when it loses the race for it. Every wait is shown in the progress
// window with its Cancel, and all of them share one bound, which counts the waits alone: a
// machine busy for longer is left alone, and the next start asks again.
#include "windows_installer.h"

#include "diagnostics/log.h"
#include "install_scope.h"
#include "installer_codes.h"
#include "platform/wait_time.h"
#include "runtime_in_use.h"

#include <windows.h>

#include <shellapi.h>

#include <memory>

namespace {

using ProcessHandle = std::unique_ptr<void, decltype(&CloseHandle)>;

const char* const installerBusyMutex = R"(Global\_MSIExecute)";
// Windows Update or another setup may take a while, but not all day: all waits for Windows
// Installer's turn together.
constexpr auto longestTurnWait = std::chrono::minutes(10);
constexpr DWORD turnCheckMilliseconds = 100;
constexpr int mostBusyRetries = 3;
constexpr DWORD firstBusyRetryMilliseconds = 1000;

enum class Turn { ours, gaveUp, cancelled };

// Windows Installer from the system folder, never whatever a search path or the .msi file
// association would find.
std::string msiexecPath()
{
    char folder[MAX_PATH + 1];
    const UINT length = GetSystemDirectoryA(folder, sizeof(folder));
    return length > 0 && length < sizeof(folder) ? std::string(folder, length) + R"(\msiexec.exe)"
                                                 : std::string();
}

// True while another installation holds the mutex. Taking the mutex for a moment is the only
// way to ask; it is given back at once, so that no installation ever waits for the launcher.
// Without the right to give it back, the launcher does not take it: msiexec's 1618 tells then.
bool anotherInstallationRuns()
{
    HANDLE mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, installerBusyMutex);
    if (mutex == nullptr) {
        return false;
    }
    const DWORD state = WaitForSingleObject(mutex, 0);
    if (state == WAIT_OBJECT_0 || state == WAIT_ABANDONED) {
        (void)ReleaseMutex(mutex);
    }
    (void)CloseHandle(mutex);
    return state == WAIT_TIMEOUT;
}

// Waits, showing why, until another installation has ended and at least pause has passed, or
// deadline has.
Turn waitForTurn(const DownloadObserver& observer, DWORD pause, Deadline deadline)
{
    const ULONGLONG started = GetTickCount64();
    bool logged = false;
    while (GetTickCount64() - started < pause || anotherInstallationRuns()) {
        if (!logged) {
            logEvent("installer-busy", {{"waiting", "another installation is in progress"}});
            logged = true;
        }
        if (millisecondsUntil(deadline, turnCheckMilliseconds) == 0) {
            logEvent("installer-busy", {{"result", "gave up waiting"}});
            return Turn::gaveUp;
        }
        if (observer.waiting != nullptr && !observer.waiting(observer.context, waitReasonInstallerBusy)) {
            return Turn::cancelled;
        }
        Sleep(turnCheckMilliseconds);
    }
    if (logged) {
        logEvent("installer-busy", {{"waited-ms", std::to_string(GetTickCount64() - started)}});
    }
    return Turn::ours;
}

// Starts Windows Installer and waits for it to end. False when it could not be started or
// waited for; a declined elevation is its exit code ERROR_CANCELLED.
bool runOnce(const std::string& installer, const std::string& parameters, unsigned long& exitCode)
{
    SHELLEXECUTEINFOA sei{};
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_NOCLOSEPROCESS;
    sei.lpVerb = "open";
    sei.lpFile = installer.c_str();
    sei.lpParameters = parameters.c_str();
    sei.nShow = SW_HIDE;
    if (ShellExecuteExA(&sei) == FALSE || sei.hProcess == nullptr) {
        const DWORD error = GetLastError();
        logEvent("installer",
                 {{"path", installer}, {"result", "not started"}, {"error", std::to_string(error)}});
        // Declining the prompt for elevation is the user's "No", like Windows Installer's 1602.
        if (error == ERROR_CANCELLED) {
            exitCode = elevationDeclined;
            return true;
        }
        return false;
    }
    const ProcessHandle process(sei.hProcess, &CloseHandle);
    DWORD code = 0;
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0
        || GetExitCodeProcess(process.get(), &code) == FALSE) {
        return false;
    }
    exitCode = code;
    logEvent(
        "installer",
        {{"path", installer}, {"exit-code", std::to_string(code)}, {"meaning", installerExitMeaning(code)}});
    return true;
}

// True when a program runs from the runtime's folder now, and says which in the log.
bool runtimeInUseNow(const std::string& runtimeFolder)
{
    const RuntimeUse use = findRuntimeInUse(runtimeFolder);
    if (use.state == RuntimeUse::State::inUse) {
        logEvent("not-installed",
                 {{"reason", "runtime-in-use"}, {"process", use.process}, {"pid", std::to_string(use.pid)}});
        return true;
    }
    return false;
}

} // namespace

std::chrono::milliseconds turnWaitLeft(std::chrono::milliseconds waited)
{
    const std::chrono::milliseconds longest = longestTurnWait;
    return waited < longest ? longest - waited : std::chrono::milliseconds(0);
}

UpdateResult runInstaller(const std::string& packagePath, const std::string& installerLog,
                          const DownloadObserver& observer, const std::string& runtimeFolder,
                          RuntimeScope scope)
{
    UpdateResult result;
    const std::string installer = msiexecPath();
    if (installer.empty()) {
        result.why = "no Windows Installer";
        return result;
    }
    const std::string parameters = installerParameters(packagePath, installerLog, scope);
    std::chrono::milliseconds waited{0};
    DWORD pause = 0;
    for (int attempt = 0; attempt <= mostBusyRetries; ++attempt) {
        const auto began = std::chrono::steady_clock::now();
        const Turn turn = waitForTurn(observer, pause, began + turnWaitLeft(waited));
        waited +=
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
        // The last look at Cancel: nothing after this point can take the installation back.
        if (turn == Turn::cancelled || (observer.goOn != nullptr && !observer.goOn(observer.context))) {
            return {.outcome = UpdateOutcome::cancelled, .why = "cancelled"};
        }
        if (turn == Turn::gaveUp) {
            return {.outcome = UpdateOutcome::installerBusy,
                    .why = "gave up waiting",
                    .installerRan = result.installerRan,
                    .exitCode = result.exitCode};
        }
        // The download and the wait may have taken minutes, in which the user may have opened
        // the application from the installed runtime: its files must not be replaced under it.
        if (!runtimeFolder.empty() && runtimeInUseNow(runtimeFolder)) {
            return {.outcome = UpdateOutcome::runtimeInUse, .why = "runtime in use"};
        }
        if (observer.installerStarts != nullptr) {
            observer.installerStarts(observer.context);
        }
        if (!runOnce(installer, parameters, result.exitCode)) {
            return {.outcome = UpdateOutcome::failed, .why = "not started"};
        }
        result.installerRan = true;
        result.outcome = outcomeOfExitCode(result.exitCode);
        result.why = installerExitMeaning(result.exitCode);
        if (result.outcome != UpdateOutcome::installerBusy) {
            break;
        }
        // Lost the race for the turn: wait a little longer each time, shown again.
        pause = pause == 0 ? firstBusyRetryMilliseconds : pause * 2;
    }
    return result;
}
