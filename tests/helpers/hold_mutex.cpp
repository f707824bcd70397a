// Holds the named mutex given as its first argument for the milliseconds given as its second,
// as Windows Installer's service holds Global\_MSIExecute while an installation runs.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3) {
        return 2;
    }
    HANDLE mutex = CreateMutexA(nullptr, TRUE, argv[1]);
    if (mutex == nullptr) {
        return 3;
    }
    Sleep(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}
