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

std::string temporaryFolder()
{
    char folder[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof(folder), folder);
    return length > 0 && length < sizeof(folder) ? std::string(folder, length) : std::string();
}

std::string programDataFolder()
{
    // KF_FLAG_DONT_VERIFY is left out: the folder must exist as the system has it.
    PWSTR path = nullptr;
    const HRESULT found = SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &path);
    std::string folder = SUCCEEDED(found) ? narrow(path) : std::string();
    // The path is COM memory, freed even when the call failed.
    freeComMemory(path);
    return folder;
}

bool isPlainFile(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(file, &info) != FALSE
           && (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0
           && info.nNumberOfLinks == 1;
}
