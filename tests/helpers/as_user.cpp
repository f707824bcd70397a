// Runs a command line as a user without administrator rights: with a restricted copy of this
// process's token in which the Administrators group is deny-only, as UAC gives a standard user.
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
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(administrators);
    HANDLE restricted = nullptr;
    SID_AND_ATTRIBUTES denyOnly{administrators, 0};
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY, &token)
        || !CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize)
        || !CreateRestrictedToken(token, DISABLE_MAX_PRIVILEGE, 1, &denyOnly, 0, nullptr, 0, nullptr,
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
