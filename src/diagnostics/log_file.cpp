// The log's folders and file. Each folder of the path is held open with listing access (share
// modes are checked against it) without sharing it for deletion: while it is held, nobody can
// rename or delete it, nor put a link in its place. Each is checked not to be a link (a junction
// or a symbolic link) before anything is made in it or written into it.
#include "log_file.h"

#include "platform/files.h"

namespace {

const char* const logName = "klv-launcher.log";
const char* const logSubfolders[] = {"Marveth", "KLV"};

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
    if (!isFolderItself(handle)) {
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
    // From the system, not the environment, which the user sets for an elevated launcher too.
    const std::string localAppData = localAppDataFolder();
    if (localAppData.empty()) {
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

LogFile openLogFile(const std::string& folder, bool holdFolders)
{
    LogFile log;
    if (folder.empty() || (holdFolders && !pinFolders(folder, log.pinnedFolders))) {
        return log;
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
        unpin(log.pinnedFolders);
        return log;
    }
    log.file = file;
    log.folder = folder;
    return log;
}

void closeLogFile(LogFile& log)
{
    if (log.file != INVALID_HANDLE_VALUE) {
        (void)CloseHandle(log.file);
    }
    unpin(log.pinnedFolders);
    log = {};
}
