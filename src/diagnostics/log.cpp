// Writes the launcher's log. The file is opened for appending only (FILE_APPEND_DATA without
// FILE_WRITE_DATA): Windows then puts every write at the file's end as one piece, so two
// launchers that write at once never mix their lines, and a line is always written whole.
#include "log.h"

#include "log_file.h"

#include <windows.h>

#include <memory>
#include <utility>
#include <vector>

namespace {

// Lines wait in memory until the log is opened: opening it (folders, file, checks) is left
// until after the update check, and, where nothing is asked, until the application has started.
constexpr std::size_t mostPendingLines = 64;

struct OpenLog {
    LogFile log;
    bool pending = true; // not opened yet: lines are kept for it
    std::vector<std::string> pendingLines;
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

// The log is the one thing the launcher's threads share (the application's start at the start
// deadline runs on a thread of its own): each use of it holds this lock. A slim lock needs no
// set-up and no clean-up.
SRWLOCK logLock = SRWLOCK_INIT;
using HeldLog = std::unique_ptr<SRWLOCK, decltype(&ReleaseSRWLockExclusive)>;

HeldLog holdLog()
{
    AcquireSRWLockExclusive(&logLock);
    return {&logLock, &ReleaseSRWLockExclusive};
}

void closeHeldLog()
{
    OpenLog& log = openLog();
    closeLogFile(log.log);
    log = {{}, false, {}};
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

// Writes the lines that waited for log into it, and makes it the log of the run.
bool install(LogFile log)
{
    const HeldLog held = holdLog();
    std::vector<std::string> waiting;
    waiting.swap(openLog().pendingLines);
    closeHeldLog();
    if (log.file == INVALID_HANDLE_VALUE) {
        return false;
    }
    // Whole lines in one write: appended as one piece, and one call instead of one a line.
    std::string lines;
    for (const std::string& line : waiting) {
        lines += line;
    }
    writeLine(log.file, lines);
    openLog() = {std::move(log), false, {}};
    return true;
}

} // namespace

bool openLauncherLog(const std::string& folder, bool holdFolders)
{
    return install(openLogFile(folder, holdFolders));
}

void logEvent(const char* event, std::initializer_list<LogField> fields)
{
    const HeldLog held = holdLog();
    OpenLog& log = openLog();
    HANDLE file = log.log.file;
    if (file == INVALID_HANDLE_VALUE && (!log.pending || log.pendingLines.size() >= mostPendingLines)) {
        return;
    }
    const std::string line = logLine(now(), GetCurrentProcessId(), event, fields);
    if (file == INVALID_HANDLE_VALUE) {
        log.pendingLines.push_back(line);
    } else {
        writeLine(file, line);
    }
}

void closeLauncherLog()
{
    const HeldLog held = holdLog();
    closeHeldLog();
}

std::string openLogFolder()
{
    const HeldLog held = holdLog();
    return openLog().log.folder;
}
