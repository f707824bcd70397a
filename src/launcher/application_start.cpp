// Starts javaw.exe with the application's class path, never waiting for it.
#include "application_start.h"

#include "diagnostics/event_log.h"
#include "diagnostics/log.h"
#include "platform/system_library.h"

#include <windows.h>

#include <shellapi.h>

namespace {

// Both class-path entries are relative to the application's folder, the working directory.
const char* const applicationArguments = R"(-cp RXTXcomm.jar;bin\de\norvel\KLV\KLV\KLV.jar main.klv)";

} // namespace

bool startApplication(const ApplicationStart& start)
{
    SHELLEXECUTEINFOA sei{};
    sei.cbSize = sizeof(sei);
    // The shell hands back the application's process handle; it is never used and is released
    // when this process ends. The launcher ends soon after this call, so the shell must finish
    // the start before it returns (SEE_MASK_NOASYNC) rather than on a thread of its own.
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    // An administrator's launcher passes its elevation on; it never asks for elevation itself.
    sei.lpVerb = start.administrator ? "runas" : "open";
    sei.lpFile = start.javaPath.c_str();
    sei.lpParameters = applicationArguments;
    sei.lpDirectory = start.klvPath.c_str();
    sei.nShow = SW_HIDE;
    // The shell's documentation asks for COM on a thread that calls ShellExecuteEx, since file
    // types may be handled by COM objects. Starting an .exe involves none of them, so the
    // multi-threaded apartment serves; unlike a single-threaded one it costs no hidden window
    // at every start. The update stage has left its single-threaded apartment by now, so the
    // thread is free to join this one.
    const HRESULT com = enterComApartment(COINIT_MULTITHREADED | COINIT_DISABLE_OLE1DDE);
    // The shell shows its own message for a start it cannot make.
    const bool started = ShellExecuteExA(&sei) != FALSE;
    DWORD error = started ? ERROR_SUCCESS : GetLastError();
    // The shell's own message box may leave no error behind (Wine's does); its code then stands
    // in hInstApp (SE_ERR_FNF is 2, as ERROR_FILE_NOT_FOUND is, and so on up to 32).
    const auto shellCode = reinterpret_cast<INT_PTR>(sei.hInstApp);
    if (!started && error == ERROR_SUCCESS && shellCode > 0 && shellCode <= 32) {
        error = static_cast<DWORD>(shellCode);
    }
    if (SUCCEEDED(com)) {
        leaveComApartment();
    }
    logEvent("start-application", {{"path", start.javaPath},
                                   {"verb", sei.lpVerb},
                                   {"result", started ? "ok" : "failed"},
                                   {"error", std::to_string(error)}});
    // A file gone or no program, or AppLocker or a Software Restriction Policy (1260): fleets
    // look for exactly this, and a start at the deadline has no one else to report it.
    if (!started) {
        reportEvent(
            applicationNotStarted("the shell could not start javaw.exe, error " + std::to_string(error)));
    }
    return started;
}
