// Read-only access to the registry records of the installed runtime and the application.
#pragma once

#include <windows.h>

#include <string>

// The installed runtime's version in letter form: the highest Java 8 version among the
// runtime records' subkeys; empty when none is installed.
std::string findjavaVersionReg();

// The text stored in value under registryHive\key (REG_SZ, or REG_EXPAND_SZ unexpanded), up to
// its first NUL and at most 1024 bytes; empty on any failure and for data of any other type.
std::string queryRegistry(const std::string& key, const std::string& value, const HKEY& registryHive);

// The same with a buffer of maxBytes, and view (KEY_WOW64_64KEY, ...) added to the access mask.
std::string queryRegistryText(const std::string& key, const std::string& value, HKEY hive,
                              unsigned long maxBytes, REGSAM view = 0);

// A REG_DWORD value; false (number untouched) when it is missing or of another type or size.
bool queryRegistryNumber(const std::string& key, const std::string& value, HKEY hive, unsigned long& number,
                         REGSAM view = 0);
