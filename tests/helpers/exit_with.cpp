// Ends with the exit code given as its first argument. A failing stand-in installer runs it as
// a custom action, so that Windows Installer rolls the installation back. With a second
// argument, a path, it first tries to open that file for writing and to delete it, as another
// program of the user could, and records in C:\write-attempt.txt whether either was refused.
// Standing in for msiexec.exe, whose arguments are its own, it ends with KLV_EXIT_WITH instead.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

BOOL CALLBACK recordDialog(HWND window, LPARAM record)
{
    char className[64] = "";
    GetClassNameA(window, className, sizeof(className));
    char title[256] = "";
    GetWindowTextA(window, title, sizeof(title));
    if (IsWindowVisible(window) && std::strcmp(className, "#32770") == 0) {
        std::fprintf(reinterpret_cast<FILE*>(record), "dialog=%s\r\n", title);
    }
    return TRUE;
}

void tryToChange(const char* path)
{
    HANDLE writer = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD writeError = writer == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (writer != INVALID_HANDLE_VALUE) {
        CloseHandle(writer);
    }
    const DWORD deleteError = DeleteFileA(path) ? 0 : GetLastError();
    FILE* record = std::fopen(R"(C:\write-attempt.txt)", "wb");
    if (record != nullptr) {
        std::fprintf(record, "path=%s\r\nwrite=%lu\r\ndelete=%lu\r\n", path, writeError, deleteError);
        // The dialogs on screen while the installer runs (the download's progress window must
        // be gone by then).
        EnumWindows(recordDialog, reinterpret_cast<LPARAM>(record));
        std::fclose(record);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const char* standIn = std::getenv("KLV_EXIT_WITH");
    if (standIn != nullptr) {
        return std::atoi(standIn);
    }
    if (argc > 2) {
        tryToChange(argv[2]);
    }
    return argc > 1 ? std::atoi(argv[1]) : 1;
}
