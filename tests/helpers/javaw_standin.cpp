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

} // namespace

int main()
{
    char directory[MAX_PATH * 4];
    const DWORD directoryLength = GetCurrentDirectoryA(sizeof(directory), directory);
    char module[MAX_PATH * 4];
    const DWORD moduleLength = GetModuleFileNameA(nullptr, module, sizeof(module));

    FILE* record = std::fopen(recordPath().c_str(), "ab");
    if (record == nullptr) {
        return 2;
    }
    std::fprintf(record, "module=%.*s\r\n", static_cast<int>(moduleLength), module);
    std::fprintf(record, "commandline=%s\r\n", GetCommandLineA());
    std::fprintf(record, "directory=%.*s\r\n", static_cast<int>(directoryLength), directory);
    std::fprintf(record, "elevated=%s\r\n", tokenIsElevated() ? "yes" : "no");
    std::fclose(record);

    // KLV_JAVAW_LINGER_SECONDS keeps the "application" running for a while, so a test can tell
    // whether the launcher waits for it.
    char linger[16];
    const DWORD lingerLength = GetEnvironmentVariableA("KLV_JAVAW_LINGER_SECONDS", linger, sizeof(linger));
    if (lingerLength > 0 && lingerLength < sizeof(linger)) {
        Sleep(static_cast<DWORD>(std::strtoul(linger, nullptr, 10)) * 1000);
        record = std::fopen(recordPath().c_str(), "ab");
        if (record != nullptr) {
            std::fprintf(record, "ended=yes\r\n");
            std::fclose(record);
        }
    }
    return 0;
}
