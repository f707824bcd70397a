// Writes the launcher's log. The file is opened for appending only (FILE_APPEND_DATA without
// FILE_WRITE_DATA): Windows then puts every write at the file's end as one piece, so two
// launchers that write at once never mix their lines, and a line is always written whole.
#include "log.h"

#include "platform/files.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

namespace {

const char* const logName = "klv-launcher.log";
const char* const logSubfolders[] = {"Marveth", "KLV"};

// Lines wait in memory until the log is opened: opening it (folders, file, checks) is left
// until the update check's request has gone out, so that it costs the start nothing.
constexpr std::size_t mostPendingLines = 64;

struct OpenLog {
    HANDLE file = INVALID_HANDLE_VALUE;
    std::string folder;
    bool pending = true; // not opened yet: lines are kept for it
    std::vector<std::string> pendingLines;
    std::vector<HANDLE> pinnedFolders;
};

void writeLine(HANDLE file, const std::string& line)
{
    DWORD written = 0;
    // A full disk or a vanished share loses this line, and nothing else.
    (void)WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

OpenLog& openLog()
{
    static OpenLog log;
    return log;
}

std::string now()
{
    FILETIME utc{};
    GetSystemTimeAsFileTime(&utc);
    FILETIME local{};
    SYSTEMTIME time{};
    if (FileTimeToLocalFileTime(&utc, &local) == FALSE || FileTimeToSystemTime(&local, &time) == FALSE) {
        return "-";
    }
    const auto ticks = [](const FILETIME& t) {
        return static_cast<long long>((static_cast<unsigned long long>(t.dwHighDateTime) << 32U)
                                      | t.dwLowDateTime);
    };
    constexpr long long ticksPerMinute = 600000000LL;
    const long offsetMinutes = static_cast<long>((ticks(local) - ticks(utc)) / ticksPerMinute);
    return isoTimestamp(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond,
                        time.wMilliseconds, offsetMinutes);
}

void unpin(std::vector<HANDLE>& folders)
{
    for (HANDLE folder : folders) {
        (void)CloseHandle(folder);
    }
    folders.clear();
}

// Holds folder open, after checking that it is a folder and no link (a junction or a symbolic
// link), and appends it to pinned. Listing access counts against share modes (attribute access
// alone would not), and deleting is not shared: while it is held, nobody can rename or delete it,
// nor put a link in its place. False, and nothing added, when it is a link or cannot be opened.
bool pinFolder(const std::string& folder, std::vector<HANDLE>& pinned)
{
    HANDLE handle =
        CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handle, &info) == FALSE
        || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0
        || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        (void)CloseHandle(handle);
        return false;
    }
    pinned.push_back(handle);
    return true;
}

// Pins every folder of path below its drive or share, from the top down: so the log, its
// rotation and Windows Installer's logs stay where they are meant to be, also for an elevated
// launcher writing into a user's folder. False (nothing held) when one is a link or cannot be
// opened.
bool pinFolders(const std::string& path, std::vector<HANDLE>& pinned)
{
    std::string::size_type at = path.find('\\', path.rfind(R"(\\)", 0) == 0 ? path.find('\\', 2) + 1 : 0);
    while (at != std::string::npos) {
        at = path.find('\\', at + 1);
        if (!pinFolder(path.substr(0, at), pinned)) {
            unpin(pinned);
            return false;
        }
    }
    return true;
}

} // namespace

std::string launcherLogFolder()
{
    const char* localAppData = std::getenv("LOCALAPPDATA");
    if (localAppData == nullptr || *localAppData == '\0') {
        return {};
    }
    // Once made, the folders are only checked where the log is opened, every folder of the path
    // at once.
    std::string existing = localAppData;
    for (const char* subfolder : logSubfolders) {
        existing += std::string("\\") + subfolder;
    }
    if (isFolder(existing)) {
        return existing;
    }
    std::vector<HANDLE> pinned;
    if (!pinFolders(localAppData, pinned)) {
        return {};
    }
    // Each folder is made inside one that is held and checked, and is itself checked before
    // anything goes into it: a link planted under its name is refused, never followed.
    std::string folder = localAppData;
    for (const char* subfolder : logSubfolders) {
        folder += std::string("\\") + subfolder;
        (void)CreateDirectoryA(folder.c_str(), nullptr);
        if (!pinFolder(folder, pinned)) {
            folder.clear();
            break;
        }
    }
    unpin(pinned);
    return folder;
}

bool openLauncherLog(const std::string& folder)
{
    std::vector<std::string> waiting;
    waiting.swap(openLog().pendingLines);
    closeLauncherLog();
    if (folder.empty()) {
        return false;
    }
    std::vector<HANDLE> pinned;
    if (!pinFolders(folder, pinned)) {
        return false;
    }
    const std::string path = folder + "\\" + logName;
    WIN32_FILE_ATTRIBUTE_DATA existing{};
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &existing) != FALSE
        && ((static_cast<unsigned long long>(existing.nFileSizeHigh) << 32U) | existing.nFileSizeLow)
               > launcherLogLimitBytes) {
        (void)MoveFileExA(path.c_str(), (path + ".1").c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    // Shared for deleting too, so that another launcher can move it aside while this one writes.
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE && !isPlainFile(file)) {
        (void)CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
    }
    if (file == INVALID_HANDLE_VALUE) {
        unpin(pinned);
        return false;
    }
    openLog() = {file, folder, false, {}, pinned};
    for (const std::string& line : waiting) {
        writeLine(file, line);
    }
    return true;
}

void logEvent(const char* event, std::initializer_list<LogField> fields)
{
    OpenLog& log = openLog();
    if (log.file == INVALID_HANDLE_VALUE && (!log.pending || log.pendingLines.size() >= mostPendingLines)) {
        return;
    }
    const std::string line = logLine(now(), GetCurrentProcessId(), event, fields);
    if (log.file == INVALID_HANDLE_VALUE) {
        log.pendingLines.push_back(line);
    } else {
        writeLine(log.file, line);
    }
}

void closeLauncherLog()
{
    OpenLog& log = openLog();
    if (log.file != INVALID_HANDLE_VALUE) {
        (void)CloseHandle(log.file);
    }
    unpin(log.pinnedFolders);
    log = {INVALID_HANDLE_VALUE, {}, false, {}, {}};
}

std::string openLogFolder()
{
    return openLog().folder;
}
