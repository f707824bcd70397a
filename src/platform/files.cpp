// Paths from the system's own records: the known-folder database and the attributes of files.
#include "files.h"

#include "system_library.h"
#include "wide_text.h"

#include <knownfolders.h>
#include <shlobj.h>

bool isFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isExistingFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string temporaryFolder()
{
    char folder[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof(folder), folder);
    return length > 0 && length < sizeof(folder) ? std::string(folder, length) : std::string();
}

namespace {

// A folder as the system knows it, never as the environment says.
std::string knownFolder(REFKNOWNFOLDERID id)
{
    // KF_FLAG_DONT_VERIFY is left out: the folder must exist as the system has it.
    PWSTR path = nullptr;
    const HRESULT found = SHGetKnownFolderPath(id, 0, nullptr, &path);
    std::string folder = SUCCEEDED(found) ? narrow(path) : std::string();
    // The path is COM memory, freed even when the call failed.
    freeComMemory(path);
    return folder;
}

} // namespace

std::string programDataFolder()
{
    return knownFolder(FOLDERID_ProgramData);
}

std::string localAppDataFolder()
{
    return knownFolder(FOLDERID_LocalAppData);
}

namespace {

// The attributes of what handle is open on; false when they cannot be read. Asks for nothing
// more: GetFileInformationByHandle also reads the volume's serial number, which Wine answers by
// querying the mount point, at about a millisecond a call.
bool attributesOf(HANDLE handle, DWORD& attributes)
{
    FILE_ATTRIBUTE_TAG_INFO info{};
    if (GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof(info)) == FALSE) {
        return false;
    }
    attributes = info.FileAttributes;
    return true;
}

} // namespace

bool isFolderItself(HANDLE handle)
{
    DWORD attributes = 0;
    return attributesOf(handle, attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
           && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool isPlainFile(HANDLE file)
{
    DWORD attributes = 0;
    FILE_STANDARD_INFO standard{};
    return attributesOf(file, attributes)
           && (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0
           && GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof(standard)) != FALSE
           && standard.NumberOfLinks == 1;
}

std::string readFileStart(const std::string& path, unsigned long maxBytes)
{
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string bytes = readFileStart(file, maxBytes);
    (void)CloseHandle(file);
    return bytes;
}

std::string readFileStart(HANDLE file, unsigned long maxBytes)
{
    // Only a file on a disk: a pipe's read (\\.\pipe\...) could wait for ever.
    std::string bytes(maxBytes, '\0');
    DWORD read = 0;
    OVERLAPPED fromTheStart{};
    const bool done =
        GetFileType(file) == FILE_TYPE_DISK
        && ReadFile(file, bytes.data(), static_cast<DWORD>(maxBytes), &read, &fromTheStart) != FALSE;
    bytes.resize(done ? read : 0);
    return bytes;
}
