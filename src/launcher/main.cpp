// The launcher's entry point: find the installed runtime, offer the newest one, then start
// the application with javaw.exe through the shell.
#include "launch_paths.h"
#include "launcher.h"
#include "policy.h"
#include "prompts/prompt_flow.h"
#include "registry/registry.h"
#include "update/release_probe.h"
#include "update_lock.h"
#include "versions/versions.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

namespace {

const char* const runtimeKeyPrefix = R"(SOFTWARE\WOW6432Node\Eclipse Adoptium\JRE\)";
const char* const runtimeKeySuffix = R"(\hotspot\MSI)";
const char* const pathValueName = "Path";
const char* const applicationKey = R"(SOFTWARE\WOW6432Node\Marveth\KLV)";
// Both class-path entries are relative to the application's folder, the working directory.
const char* const applicationArguments = R"(-cp RXTXcomm.jar;bin\de\norvel\KLV\KLV\KLV.jar main.klv)";

int runLaunchSequence()
{
    // Without its folder the application would run in whatever folder the launcher was started
    // from, loading whatever jars lie there; and there is no point in updating its runtime.
    const std::string klvPath = queryRegistry(applicationKey, pathValueName, HKEY_LOCAL_MACHINE);
    if (!isAbsoluteFolder(klvPath)) {
        return reportNoApplication();
    }

    javaVerReg = findjavaVersionReg();
    SHELLEXECUTEINFOA sei{};

    const UpdatePolicy policy = readUpdatePolicy(apiUrl);
    serviceUrl = policy.serviceUrl;
    if (policy.updateCheck && getURLVersion(serviceUrl, javaVerReg, javaVerURL)) {
        UpdateLock lock(nullptr, nullptr);
        if (takeUpdateTurn(lock)) {
            const int state = javaVerReg.empty() ? 0 : 1;
            if (winUI(state) == 1) {
                return 1;
            }
        } else {
            // Another launcher asked and maybe installed meanwhile: go on with what is installed
            // now, as if the service had offered just that.
            javaVerReg = findjavaVersionReg();
            javaVerDot = letToDot(javaVerReg);
        }
    } else {
        // No difference, no newest version known, or no check wanted: use the installed runtime.
        javaVerDot = letToDot(javaVerReg);
    }

    const std::string javaKey = runtimeKeyPrefix + javaVerDot + runtimeKeySuffix;
    // Without a runtime folder the shell would resolve a relative bin\javaw.exe against the
    // current folder, so whoever controls that folder would choose what runs.
    const std::string javaPath = javawBelow(queryRegistry(javaKey, pathValueName, HKEY_LOCAL_MACHINE));
    if (javaPath.empty()) {
        return reportNoRuntime();
    }
    const std::string finalArgs = applicationArguments;

    sei.cbSize = sizeof(sei);
    // The shell hands back the application's process handle; it is never used and is released
    // when this process ends. The launcher ends right after this call, so the shell must finish
    // the start before it returns (SEE_MASK_NOASYNC) rather than on a thread of its own.
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    // An elevated launcher passes its elevation on; it never asks for elevation itself.
    sei.lpVerb = IsRunAsAdmin() ? "runas" : "open";
    sei.lpFile = javaPath.c_str();
    sei.lpParameters = finalArgs.c_str();
    sei.lpDirectory = klvPath.c_str();
    sei.nShow = SW_HIDE;
    // The shell's documentation asks for COM on a thread that calls ShellExecuteEx, since file
    // types may be handled by COM objects. Starting an .exe involves none of them, so the
    // multi-threaded apartment serves; unlike a single-threaded one it costs no hidden window
    // at every start. After a download the thread may already be single-threaded
    // (RPC_E_CHANGED_MODE), which serves as well.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED | COINIT_DISABLE_OLE1DDE);
    // A refused or failed start is the shell's to report; the launcher's job ends here.
    (void)ShellExecuteExA(&sei);
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return 0;
}

} // namespace

int main()
{
    return runLaunchSequence();
}
