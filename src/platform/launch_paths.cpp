// Composes the path of javaw.exe, and refuses folders that the shell would make relative.
#include "launch_paths.h"

#include <cctype>

bool isAbsoluteFolder(const std::string& folder)
{
    const bool driveRoot = folder.size() >= 3 && std::isalpha(static_cast<unsigned char>(folder[0])) != 0
                           && folder[1] == ':' && folder[2] == '\\';
    const bool share = folder.size() >= 3 && folder[0] == '\\' && folder[1] == '\\' && folder[2] != '\\';
    return driveRoot || share;
}

std::string javawBelow(const std::string& runtimeFolder)
{
    if (!isAbsoluteFolder(runtimeFolder)) {
        return {};
    }
    const char* const separator = runtimeFolder.back() == '\\' ? "" : "\\";
    return runtimeFolder + separator + R"(bin\javaw.exe)";
}
