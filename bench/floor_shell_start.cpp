// The floor of a start within the check period, which asks no one: nothing but the start of
// javaw.exe through the shell, made as the launcher makes it (ShellExecuteExA with narrow strings
// in the manifest's UTF-8 code page; under Wine its conversion to the wide call loads ole32), in
// a program that imports only what that start needs (kernel32, shell32) and carries the
// launcher's manifest. No C runtime: its start-up is a cost of the launcher, not of the limit.
// With "stay", it stays until javaw.exe has ended, as a launcher whose check goes on behind the
// start stays: under Wine a process that ends at once delays its child's start by about 0.1 s,
// which such a launcher never pays.
//   floor-shell-start <javaw.exe> <arguments> <folder> <verb> [stay]
#include <windows.h>

#include <shellapi.h>

namespace {

constexpr int argumentBytes = 4096;

// Static, so zero without a call to the C runtime's memset.
char narrowArguments[4][argumentBytes];
SHELLEXECUTEINFOA sei;

} // namespace

// The process's entry point (the linker's -e), in place of the C runtime's.
extern "C" void floorStart()
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr || count < 5 || count > 6) {
        ExitProcess(2);
    }
    for (int at = 0; at < 4; ++at) {
        if (WideCharToMultiByte(CP_ACP, 0, argv[at + 1], -1, narrowArguments[at], argumentBytes, nullptr,
                                nullptr)
            == 0) {
            ExitProcess(3);
        }
    }
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    sei.lpFile = narrowArguments[0];
    sei.lpParameters = narrowArguments[1];
    sei.lpDirectory = narrowArguments[2];
    sei.lpVerb = narrowArguments[3];
    sei.nShow = SW_HIDE;
    if (ShellExecuteExA(&sei) && sei.hProcess != nullptr && count == 6) {
        (void)WaitForSingleObject(sei.hProcess, INFINITE);
    }
    ExitProcess(0);
}
