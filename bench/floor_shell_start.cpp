// The floor of a start within the check period, which asks no one: nothing but the start of
// javaw.exe through the shell, in a program that imports only what that start needs (kernel32,
// shell32) and carries the launcher's manifest. No C runtime: its DLL and its start-up are costs
// of the launcher, not of the limit.
//   floor-shell-start <javaw.exe> <arguments> <folder> <verb>
#include <windows.h>

#include <shellapi.h>

// The process's entry point (the linker's -e), in place of the C runtime's.
extern "C" void floorStart()
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr || count != 5) {
        ExitProcess(2);
    }
    // Static, so zero without a call to the C runtime's memset.
    static SHELLEXECUTEINFOW sei;
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    sei.lpFile = argv[1];
    sei.lpParameters = argv[2];
    sei.lpDirectory = argv[3];
    sei.lpVerb = argv[4];
    sei.nShow = SW_HIDE;
    (void)ShellExecuteExW(&sei);
    ExitProcess(0);
}
