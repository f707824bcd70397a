// Read-only access to the registry records of the installed runtime and the application.
#pragma once

#include <windows.h>

#include <string>

// The installed runtime's version in letter form, taken from the first subkey that the
// registry enumerates under the runtime records; empty when none is installed.
std::string findjavaVersionReg();

// The string stored in value under registryHive\key, up to its first NUL; empty on any failure.
std::string queryRegistry(const std::string& key, const std::string& value, const HKEY& registryHive);
