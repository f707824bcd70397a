// Holds the named mutex given as its first argument for the milliseconds given as its second,
// as Windows Installer's service holds Global\_MSIExecute while an installation runs; with a
// file as its third, only until that file exists. Says "held" on its output once it holds it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        return 2;
    }
    HANDLE mutex = CreateMutexA(nullptr, TRUE, argv[1]);
    if (mutex == nullptr) {
        return 3;
    }
    std::puts("held");
    (void)std::fflush(stdout);
    const ULONGLONG started = GetTickCount64();
    const ULONGLONG hold = std::strtoul(argv[2], nullptr, 10);
    while (GetTickCount64() - started < hold
           && (argc == 3 || GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES)) {
        Sleep(100);
    }
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}
