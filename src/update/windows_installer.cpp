// Windows Installer runs one installation at a time. While one runs, its service holds the
// mutex Global\_MSIExecute, and a second msiexec ends with 1618; so the launcher waits for its
// turn first, and tries again when it loses the race for it.
#include "windows_installer.h"

#include "diagnostics/log.h"
#include "installer_codes.h"

#include <windows.h>

#include <shellapi.h>

#include <memory>

namespace {

using ProcessHandle = std::unique_ptr<void, decltype(&CloseHandle)>;

const char* const installerBusyMutex = R"(Global\_MSIExecute)";
// Windows Update or another setup may take a while, but not all day.
constexpr DWORD longestTurnWaitMilliseconds = 10U * 60U * 1000U;
constexpr DWORD turnCheckMilliseconds = 100;
constexpr int mostBusyRetries = 3;
constexpr DWORD firstBusyRetryMilliseconds = 1000;
// Windows Installer's verbose logs of failed installations kept beside the launcher's log.
constexpr std::size_t keptInstallerLogs = 3;

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

// Waits for Windows Installer's turn, showing why. 0: its turn; 1: the wait took too long;
// 2: the user cancelled.
int waitForTurn(const DownloadObserver& observer)
{
    const ULONGLONG started = GetTickCount64();
    bool logged = false;
    while (anotherInstallationRuns()) {
        if (!logged) {
            logEvent("installer-busy", {{"waiting", "another installation is in progress"}});
            logged = true;
        }
        if (GetTickCount64() - started > longestTurnWaitMilliseconds) {
            return 1;
        }
        if (observer.waiting != nullptr && !observer.waiting(observer.context, waitReasonInstallerBusy)) {
            return 2;
        }
        Sleep(turnCheckMilliseconds);
    }
    if (logged) {
        logEvent("installer-busy", {{"waited-ms", std::to_string(GetTickCount64() - started)}});
    }
    return 0;
}

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
            exitCode = installerUserCancelled;
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

} // namespace

InstallerRun runInstaller(const std::string& packagePath, const std::string& letterVersion,
                          const DownloadObserver& observer)
{
    InstallerRun run;
    const int turn = waitForTurn(observer);
    if (observer.ended != nullptr) {
        observer.ended(observer.context);
    }
    run.cancelled = turn == 2;
    const std::string installer = msiexecPath();
    if (turn != 0 || installer.empty()) {
        if (turn == 1) {
            logEvent("installer-busy", {{"result", "gave up waiting"}});
        }
        return run;
    }
    // The launcher starts the application right after the installation, so a restart that
    // the package asks for is left to the user (3010 counts as installed).
    const std::string installerLog = installerLogPath(letterVersion);
    std::string parameters = "/i \"" + packagePath + "\" REBOOT=ReallySuppress";
    if (!installerLog.empty()) {
        parameters += " /l*v \"" + installerLog + "\"";
    }
    run.ran = runOnce(installer, parameters, run.exitCode);
    DWORD pause = firstBusyRetryMilliseconds;
    for (int retry = 0; retry < mostBusyRetries && run.ran && run.exitCode == installerAnotherRunning;
         ++retry) {
        // The progress window is gone by now: wait without one, a little longer each time.
        Sleep(pause);
        pause *= 2;
        if (waitForTurn({}) != 0) {
            break;
        }
        run.ran = runOnce(installer, parameters, run.exitCode);
    }
    if (!installerLog.empty()) {
        if (run.ran && !installerSucceeded(run.exitCode)
            && GetFileAttributesA(installerLog.c_str()) != INVALID_FILE_ATTRIBUTES) {
            logEvent("installer-log", {{"kept", installerLog}});
        } else {
            (void)DeleteFileA(installerLog.c_str());
        }
        keepNewestInstallerLogs(keptInstallerLogs);
    }
    return run;
}
