// Windows Installer's logs in the user's log folder. An elevated launcher has Windows Installer
// write into the run's own protected folder, and copies a failed installation's log here: its
// writes into a folder of the user's go only into files that it has just created itself.
#include "installer_log.h"

#include "platform/files.h"
#include "update/part_file.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

const char* const installerLogPattern = "msiexec-*.log";
constexpr unsigned mostCopyNames = 20;
constexpr DWORD copyPieceBytes = 64 * 1024;

using FileOwner = std::unique_ptr<void, decltype(&CloseHandle)>;

FileOwner noFile()
{
    return {INVALID_HANDLE_VALUE, &CloseHandle};
}

// A new file at path, or nothing where anything (a file, a link, a folder) stands there.
FileOwner createNewFile(const std::string& path)
{
    FileOwner file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr),
                   &CloseHandle);
    return file.get() != INVALID_HANDLE_VALUE && isPlainFile(file.get()) ? std::move(file) : noFile();
}

bool copyContents(HANDLE from, HANDLE to)
{
    std::vector<char> piece(copyPieceBytes);
    DWORD read = 0;
    do {
        DWORD written = 0;
        if (ReadFile(from, piece.data(), copyPieceBytes, &read, nullptr) == FALSE
            || WriteFile(to, piece.data(), read, &written, nullptr) == FALSE || written != read) {
            return false;
        }
    } while (read > 0);
    return true;
}

} // namespace

std::string installerLogPath(const std::string& folder, const std::string& letterVersion)
{
    return folder.empty() ? std::string() : folder + R"(\msiexec-)" + letterVersion + ".log";
}

std::string copyInstallerLog(const std::string& source, const std::string& logFolder,
                             const std::string& letterVersion)
{
    const FileOwner from(CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr),
                         &CloseHandle);
    const std::string wanted = installerLogPath(logFolder, letterVersion);
    if (from.get() == INVALID_HANDLE_VALUE || wanted.empty()) {
        return {};
    }
    for (unsigned attempt = 0; attempt < mostCopyNames; ++attempt) {
        std::string name =
            attempt == 0 ? wanted
                         : withNameSuffix(wanted, std::to_string(GetCurrentProcessId())
                                                      + (attempt > 1 ? "-" + std::to_string(attempt) : ""));
        const FileOwner to = createNewFile(name);
        if (to.get() == INVALID_HANDLE_VALUE) {
            continue;
        }
        if (copyContents(from.get(), to.get())) {
            return name;
        }
        // Half a copy is no help to anyone: it is this run's own file, so it goes.
        (void)DeleteFileA(name.c_str());
        return {};
    }
    return {};
}

void keepNewestInstallerLogs(const std::string& folder, std::size_t keep)
{
    if (folder.empty()) {
        return;
    }
    struct Found {
        std::string name;
        unsigned long long written;
    };
    std::vector<Found> logs;
    WIN32_FIND_DATAA data{};
    HANDLE search = FindFirstFileA((folder + "\\" + installerLogPattern).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0) {
            logs.push_back(
                {data.cFileName, (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32U)
                                     | data.ftLastWriteTime.dwLowDateTime});
        }
    } while (FindNextFileA(search, &data) != FALSE);
    (void)FindClose(search);
    std::sort(logs.begin(), logs.end(), [](const Found& a, const Found& b) { return a.written > b.written; });
    for (std::size_t index = keep; index < logs.size(); ++index) {
        (void)DeleteFileA((folder + "\\" + logs[index].name).c_str());
    }
}
