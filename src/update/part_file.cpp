// The part file that the installer is downloaded into, and the name it gets when complete.
//
// The part file is created new (never an existing file), nobody else may write it, and it is
// marked for deletion from the start: a launcher that ends early in any way (console closed,
// logoff, crash, killed) leaves nothing behind. A file that this run did not create is never
// opened for writing, replaced or deleted: where one stands under the installer's name, the
// download takes a name of this run's own beside it.
#include "part_file.h"

#include "platform/wide_text.h"
#include "versions/runtime_line.h"

#include <algorithm>
#include <vector>

namespace {

// Names tried beside a file of the installer's name that this run did not write.
constexpr unsigned mostOtherNames = 20;

// Gives the open file another name in the same folder; fails when a file of that name exists.
bool renameOpenFile(HANDLE file, const std::string& newPath)
{
    const std::wstring name = widen(newPath);
    const std::size_t nameBytes = name.size() * sizeof(wchar_t);
    // The record ends in the name; its own one-character array holds the terminating NUL.
    std::vector<unsigned char> record(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(record.data());
    // The record shares this field with the flags of newer Windows versions.
    rename->ReplaceIfExists = FALSE; // NOLINT(cppcoreguidelines-pro-type-union-access)
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::copy(name.begin(), name.end(), rename->FileName);
    return SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(record.size()))
           != FALSE;
}

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The installer's own name, or where a file stands there already, a name of this run's own.
std::string freeName(const std::string& packagePath, unsigned attempt)
{
    if (attempt == 0) {
        return packagePath;
    }
    return withNameSuffix(packagePath, std::to_string(GetCurrentProcessId())
                                           + (attempt > 1 ? "-" + std::to_string(attempt) : ""));
}

} // namespace

// Marks the open file for deletion when its last handle closes, or takes that back.
bool markForDeletion(HANDLE file, bool remove)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

// Creates the part file under the first free name, for writing by this run only.
HANDLE createPartFile(std::string& packagePath)
{
    for (unsigned attempt = 0; attempt < mostOtherNames; ++attempt) {
        const std::string candidate = freeName(packagePath, attempt);
        if (exists(candidate)) {
            continue;
        }
        HANDLE part = CreateFileA((candidate + ".part").c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                  FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (part != INVALID_HANDLE_VALUE) {
            packagePath = candidate;
            return part;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) {
            return INVALID_HANDLE_VALUE;
        }
    }
    return INVALID_HANDLE_VALUE;
}

// Renames the complete part file to the package's name, or where a file has appeared there
// meanwhile, to the next name of this run's own.
bool renameToFreeName(HANDLE part, std::string& packagePath)
{
    const std::string wanted = packagePath;
    for (unsigned attempt = 0; attempt < mostOtherNames; ++attempt) {
        const std::string candidate = attempt == 0 ? wanted : freeName(wanted, attempt);
        if (renameOpenFile(part, candidate)) {
            packagePath = candidate;
            return true;
        }
    }
    return false;
}

std::string installerFileName(const std::string& letterVersion)
{
    return packageFileName(builtRuntimeLine(), letterVersion);
}

std::string installerDownloadPath(const std::string& userProfile, const std::string& letterVersion)
{
    return userProfile + R"(\Downloads\)" + installerFileName(letterVersion);
}

std::string withNameSuffix(const std::string& path, const std::string& suffix)
{
    const std::string::size_type dot = path.rfind('.');
    const std::string::size_type slash = path.rfind('\\');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return hasExtension ? path.substr(0, dot) + "-" + suffix + path.substr(dot) : path + "-" + suffix;
}
