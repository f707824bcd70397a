// The paths the application is started from, checked before the shell sees them.
#pragma once

#include <string>

// True for a folder given from a drive's root ("C:\...") or a network share ("\\server\...").
// Anything else would be resolved against the launcher's current folder.
bool isAbsoluteFolder(const std::string& folder);

// The runtime's javaw.exe below its folder (the "Path" record, with or without its trailing
// backslash), or empty when the folder is not absolute.
std::string javawBelow(const std::string& runtimeFolder);
