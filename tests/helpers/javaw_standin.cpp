// Stands in for the runtime's javaw.exe in the end-to-end tests: it records how it was
// started (command line, working directory, elevation) and ends. The record goes to
// the file named by KLV_JAVAW_RECORD, or next to the executable when that is unset.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string recordPath()
{
    char path[MAX_PATH * 4];
    const DWORD length = GetEnvironmentVariableA("KLV_JAVAW_RECORD", path, sizeof(path));
    if (length > 0 && length < sizeof(path)) {
        return path;
    }
    const DWORD moduleLength = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string beside(path, moduleLength);
    return beside.substr(0, beside.find_last_of('\\') + 1) + "javaw-started.txt";
}

// Runs with administrator rights: its token holds the Administrators group. (Under Wine,
// TokenElevation says "elevated" for every token, restricted ones included.)
bool tokenIsElevated()
{
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(administrators);
    BOOL member = FALSE;
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size)
           && CheckTokenMembership(nullptr, administrators, &member) && member;
}

// Appends text to the record in one write, one process at a time: two applications started at
// the same moment (two launchers) would otherwise overwrite each other's lines, as the C
// runtime's append mode seeks to the end and writes in two steps.
bool appendRecord(const std::string& text)
{
    HANDLE turn = CreateMutexA(nullptr, FALSE, "Local\\klv-javaw-standin-record");
    if (turn != nullptr) {
        (void)WaitForSingleObject(turn, 10000);
    }
    FILE* record = std::fopen(recordPath().c_str(), "ab");
    const bool written = record != nullptr && std::fwrite(text.data(), 1, text.size(), record) == text.size();
    if (record != nullptr) {
        std::fclose(record);
    }
    if (turn != nullptr) {
        (void)ReleaseMutex(turn);
        (void)CloseHandle(turn);
    }
    return written;
}

} // namespace

int main()
{
    char directory[MAX_PATH * 4];
    const DWORD directoryLength = GetCurrentDirectoryA(sizeof(directory), directory);
    char module[MAX_PATH * 4];
    const DWORD moduleLength = GetModuleFileNameA(nullptr, module, sizeof(module));

    const std::string text = "module=" + std::string(module, moduleLength) + "\r\ncommandline="
                             + GetCommandLineA() + "\r\ndirectory=" + std::string(directory, directoryLength)
                             + "\r\nelevated=" + (tokenIsElevated() ? "yes" : "no") + "\r\n";
    if (!appendRecord(text)) {
        return 2;
    }
    // KLV_JAVAW_LINGER_SECONDS keeps the "application" running for a while, so a test can tell
    // whether the launcher waits for it.
    char linger[16];
    const DWORD lingerLength = GetEnvironmentVariableA("KLV_JAVAW_LINGER_SECONDS", linger, sizeof(linger));
    if (lingerLength > 0 && lingerLength < sizeof(linger)) {
        Sleep(static_cast<DWORD>(std::strtoul(linger, nullptr, 10)) * 1000);
        (void)appendRecord("ended=yes\r\n");
    }
    return 0;
}
