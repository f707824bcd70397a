// Runs a command line as a user without administrator rights: with a restricted copy of this
// process's linked token (the unelevated half of an administrator's pair) in which the
// Administrators group is deny-only, as UAC gives a standard user. Under Wine a restricted copy
// of the full token still reports TokenIsElevated; one of the linked token does not.
// Waits for the program and ends with its exit code; a job ends the program with this one.
#include <windows.h>

#include <cwchar>

int main()
{
    // The command line after this program's own name, quoted or not.
    const wchar_t* rest = GetCommandLineW();
    const wchar_t end = *rest == L'"' ? L'"' : L' ';
    rest = std::wcschr(rest + 1, end);
    if (rest == nullptr) {
        return 2;
    }
    rest += end == L'"' ? 1 : 0;
    while (*rest == L' ') {
        ++rest;
    }
    wchar_t command[32768];
    (void)std::wcsncpy(command, rest, 32767);
    command[32767] = L'\0';

    HANDLE token = nullptr;
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    HANDLE unelevated = nullptr;
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(administrators);
    HANDLE restricted = nullptr;
    SID_AND_ATTRIBUTES denyOnly{administrators, 0};
    // The linked token comes for identification only; Wine makes a primary token of it.
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)
        || !GetTokenInformation(token, TokenLinkedToken, &linked, sizeof(linked), &size)
        || !DuplicateTokenEx(linked.LinkedToken, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                             TokenPrimary, &unelevated)
        || !CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize)
        || !CreateRestrictedToken(unelevated, DISABLE_MAX_PRIVILEGE, 1, &denyOnly, 0, nullptr, 0, nullptr,
                                  &restricted)) {
        return 3;
    }
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    // Only the program itself is ended with this one: what it starts (the application, Windows
    // Installer) lives on, as it would after a user closed the program.
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
    (void)SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessAsUserW(restricted, nullptr, command, nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                              nullptr, nullptr, &startup, &process)) {
        return 4;
    }
    (void)AssignProcessToJobObject(job, process.hProcess);
    (void)ResumeThread(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    return static_cast<int>(code);
}
