// The launcher's entry point: find the installed runtime, offer the newest one, then start
// the application with javaw.exe through the shell.
#include "launcher.h"
#include "prompts/prompt_flow.h"
#include "registry/registry.h"
#include "update/release_probe.h"
#include "versions/versions.h"

#include <windows.h>

#include <shellapi.h>

namespace {

const char* const runtimeKeyPrefix = R"(SOFTWARE\WOW6432Node\Eclipse Adoptium\JRE\)";
const char* const runtimeKeySuffix = R"(\hotspot\MSI)";
const char* const pathValueName = "Path";
// The runtime's "Path" ends in a backslash, so this is appended as it stands.
const char* const javawBelowRuntime = R"(bin\javaw.exe)";
const char* const applicationKey = R"(SOFTWARE\WOW6432Node\Marveth\KLV)";
// Both class-path entries are relative to the application's folder, the working directory.
const char* const applicationArguments = R"(-cp RXTXcomm.jar;bin\de\norvel\KLV\KLV\KLV.jar main.klv)";

} // namespace

int main()
{
    javaVerReg = findjavaVersionReg();
    SHELLEXECUTEINFOA sei{};

    if (getURLVersion(apiUrl, javaVerReg, javaVerURL)) {
        const int state = javaVerReg.empty() ? 0 : 1;
        if (winUI(state) == 1) {
            return 1;
        }
    } else {
        // No difference, or no newest version known: the installed runtime is the one to use.
        javaVerDot = letToDot(javaVerReg);
    }

    const std::string javaKey = runtimeKeyPrefix + javaVerDot + runtimeKeySuffix;
    const std::string javaPath =
        queryRegistry(javaKey, pathValueName, HKEY_LOCAL_MACHINE) + javawBelowRuntime;
    const std::string klvPath = queryRegistry(applicationKey, pathValueName, HKEY_LOCAL_MACHINE);
    const std::string finalArgs = applicationArguments;

    sei.cbSize = sizeof(sei);
    // The shell hands back the application's process handle; it is never used and is released
    // when this process ends.
    sei.fMask = SEE_MASK_NOCLOSEPROCESS;
    // An elevated launcher passes its elevation on; it never asks for elevation itself.
    sei.lpVerb = IsRunAsAdmin() ? "runas" : "open";
    sei.lpFile = javaPath.c_str();
    sei.lpParameters = finalArgs.c_str();
    sei.lpDirectory = klvPath.c_str();
    sei.nShow = SW_HIDE;
    // A refused or failed start is the shell's to report; the launcher's job ends here.
    (void)ShellExecuteExA(&sei);
    return 0;
}
