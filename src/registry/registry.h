// Read-only access to the registry records of the installed runtime and the application.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

using RegistryKey = std::unique_ptr<std::remove_pointer_t<HKEY>, decltype(&RegCloseKey)>;

// hive\path opened for reading, with view (KEY_WOW64_64KEY, ...) added to KEY_READ; empty when
// it cannot be opened. Several values are then read through the one open key.
RegistryKey openKeyForReading(HKEY hive, const std::string& path, REGSAM view = 0);

// The text of value (REG_SZ, or REG_EXPAND_SZ unexpanded) up to its first NUL, read with a
// buffer of maxBytes; empty on any failure, for longer data and for data of any other type.
std::string readText(HKEY key, const std::string& value, unsigned long maxBytes);

// Writes text as the REG_SZ value, with its NUL; a failure is not reported.
bool writeText(HKEY key, const std::string& value, const std::string& text);

// A REG_DWORD value; false (number untouched) when it is missing or of another type or size.
bool readNumber(HKEY key, const std::string& value, unsigned long& number);

// A time (whole seconds since 1970, UTC) stored as a REG_QWORD; 0 when it is missing, of another
// type or size, or past the largest time.
long long readTime(HKEY key, const char* value);

// Writes time as the REG_QWORD value; false when it could not be written.
bool writeTime(HKEY key, const char* value, long long time);

// The entries of a REG_MULTI_SZ value of at most maxBytes, without empty ones; empty for any
// other type or longer data.
std::vector<std::string> readTextList(HKEY key, const std::string& value, unsigned long maxBytes);

// Every subkey name below key (at most a few thousand) that fits a buffer of 1024 bytes; longer
// names are skipped.
std::vector<std::string> subkeyNames(HKEY key);

// The launcher's own per-user key, HKCU\Software\Marveth\KLV\Launcher, where it remembers what
// it learnt: failed installations and update checks.
extern const char* const launcherStateKey;

// That key opened for writing and reading its values, created as needed; empty when it cannot be.
RegistryKey openLauncherStateForWriting();

// The text stored in value under registryHive\key (REG_SZ, or REG_EXPAND_SZ unexpanded), up to
// its first NUL and at most 1024 bytes; empty on any failure and for data of any other type.
std::string queryRegistry(const std::string& key, const std::string& value, const HKEY& registryHive);

// The same with a buffer of maxBytes, and view (KEY_WOW64_64KEY, ...) added to the access mask.
std::string queryRegistryText(const std::string& key, const std::string& value, HKEY hive,
                              unsigned long maxBytes, REGSAM view = 0);

// The bytes of a REG_BINARY value of at most maxBytes; empty when it is missing, longer or of
// another type.
std::vector<unsigned char> queryRegistryBytes(const std::string& key, const std::string& value, HKEY hive,
                                              unsigned long maxBytes);

// A REG_DWORD value; false (number untouched) when it is missing or of another type or size.
bool queryRegistryNumber(const std::string& key, const std::string& value, HKEY hive, unsigned long& number,
                         REGSAM view = 0);
