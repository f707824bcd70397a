// The log's file and the folders it lies in: made, checked not to be links, and held open while
// the file is written, so that an elevated launcher's writes cannot be turned elsewhere.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A log that has passed this at start is moved aside to klv-launcher.log.1, replacing the one
// there: at most about twice this per user, however many starts.
constexpr unsigned long long launcherLogLimitBytes = 1024ULL * 1024ULL;

// The open log file with every folder of its path held.
struct LogFile {
    HANDLE file = INVALID_HANDLE_VALUE;
    std::string folder;
    std::vector<HANDLE> pinnedFolders;
};

// %LOCALAPPDATA%\Marveth\KLV, created as needed, each folder checked not to be a link before
// anything is made in it; empty when there is no such folder to be had.
std::string launcherLogFolder();

// Holds every folder of folder's path (with holdFolders), then opens folder\klv-launcher.log for
// appending, after moving a log past the limit aside. No file (and nothing held) when a folder is
// a link or the file cannot be opened, or is not a plain file of its own. A launcher without
// administrator rights holds no folder: it writes with the rights of every other program of the
// user, so a link planted in its path could only lead its writes where those programs may write
// themselves.
LogFile openLogFile(const std::string& folder, bool holdFolders);

// Closes the file and lets the folders go.
void closeLogFile(LogFile& log);
