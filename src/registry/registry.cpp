// Registry readers. Keys are opened with KEY_READ and no view flag unless a caller names one:
// this 64-bit process reaches the records of 32-bit installers through the literal WOW6432Node
// in the paths.
#include "registry.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

namespace {

constexpr DWORD registryBufferSize = 1024;
// A machine has a handful of runtimes; a key with more subkeys than this is not one of
// the runtime installer's records, and reading on would only cost time.
constexpr DWORD mostSubkeys = 4096;

// Registry data need not end in a NUL; never read past what was returned.
std::string textUpToNul(const char* buffer, DWORD size)
{
    return {buffer, strnlen(buffer, size)};
}

// Reads value's raw data of at most maxBytes; false when it is missing or longer.
bool readData(HKEY key, const std::string& value, unsigned long maxBytes, std::vector<char>& data,
              DWORD& type)
{
    data.assign(maxBytes, '\0');
    DWORD size = maxBytes;
    type = REG_NONE;
    // Data longer than the buffer makes the read fail (ERROR_MORE_DATA): nothing is cut short.
    if (RegQueryValueExA(key, value.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(data.data()), &size)
        != ERROR_SUCCESS) {
        return false;
    }
    data.resize(size);
    return true;
}

} // namespace

std::vector<std::string> subkeyNames(HKEY key)
{
    std::vector<std::string> names;
    char subKeyBuffer[registryBufferSize];
    for (DWORD index = 0; index < mostSubkeys; ++index) {
        DWORD subKeyBufferSize = registryBufferSize;
        const LSTATUS status =
            RegEnumKeyExA(key, index, subKeyBuffer, &subKeyBufferSize, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) {
            names.push_back(textUpToNul(subKeyBuffer, subKeyBufferSize));
        } else if (status != ERROR_MORE_DATA) {
            break; // ERROR_NO_MORE_ITEMS, or the key went away
        }
    }
    return names;
}

const char* const launcherStateKey = R"(Software\Marveth\KLV\Launcher)";

RegistryKey openLauncherStateForWriting()
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, launcherStateKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_QUERY_VALUE,
                        nullptr, &key, nullptr)
        != ERROR_SUCCESS) {
        key = nullptr;
    }
    return {key, &RegCloseKey};
}

std::string queryRegistry(const std::string& key, const std::string& value, const HKEY& registryHive)
{
    return queryRegistryText(key, value, registryHive, registryBufferSize);
}

RegistryKey openKeyForReading(HKEY hive, const std::string& path, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(hive, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        key = nullptr;
    }
    return {key, &RegCloseKey};
}

std::string readText(HKEY key, const std::string& value, unsigned long maxBytes)
{
    std::vector<char> data;
    DWORD type = REG_NONE;
    // Only text is text: a number or a list under the expected name is not a path or a URL.
    // REG_EXPAND_SZ comes back as stored, unexpanded.
    if (!readData(key, value, maxBytes, data, type) || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return {};
    }
    return textUpToNul(data.data(), static_cast<DWORD>(data.size()));
}

bool writeText(HKEY key, const std::string& value, const std::string& text)
{
    return RegSetValueExA(key, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1))
           == ERROR_SUCCESS;
}

bool readNumber(HKEY key, const std::string& value, unsigned long& number)
{
    DWORD data = 0;
    DWORD size = sizeof(data);
    DWORD type = REG_NONE;
    if (RegQueryValueExA(key, value.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(&data), &size)
            != ERROR_SUCCESS
        || type != REG_DWORD || size != sizeof(data)) {
        return false;
    }
    number = data;
    return true;
}

std::vector<std::string> readTextList(HKEY key, const std::string& value, unsigned long maxBytes)
{
    std::vector<char> data;
    DWORD type = REG_NONE;
    std::vector<std::string> entries;
    if (!readData(key, value, maxBytes, data, type) || type != REG_MULTI_SZ) {
        return entries;
    }
    // Each entry ends in a NUL and the list in another; data that lacks them ends where it ends.
    const std::string list(data.begin(), data.end());
    for (std::string::size_type at = 0; at < list.size();) {
        const std::string::size_type end = std::min(list.find('\0', at), list.size());
        if (end > at) {
            entries.push_back(list.substr(at, end - at));
        }
        at = end + 1;
    }
    return entries;
}

std::string queryRegistryText(const std::string& key, const std::string& value, HKEY hive,
                              unsigned long maxBytes, REGSAM view)
{
    const RegistryKey opened = openKeyForReading(hive, key, view);
    return opened ? readText(opened.get(), value, maxBytes) : std::string();
}

bool queryRegistryNumber(const std::string& key, const std::string& value, HKEY hive, unsigned long& number,
                         REGSAM view)
{
    const RegistryKey opened = openKeyForReading(hive, key, view);
    return opened && readNumber(opened.get(), value, number);
}

std::vector<unsigned char> queryRegistryBytes(const std::string& key, const std::string& value, HKEY hive,
                                              unsigned long maxBytes)
{
    const RegistryKey opened = openKeyForReading(hive, key);
    std::vector<char> data;
    DWORD type = REG_NONE;
    if (!opened || !readData(opened.get(), value, maxBytes, data, type) || type != REG_BINARY) {
        return {};
    }
    return {data.begin(), data.end()};
}

long long readTime(HKEY key, const char* value)
{
    unsigned long long time = 0;
    DWORD size = sizeof(time);
    DWORD type = REG_NONE;
    if (RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<LPBYTE>(&time), &size) != ERROR_SUCCESS
        || type != REG_QWORD || size != sizeof(time) || time > static_cast<unsigned long long>(LLONG_MAX)) {
        return 0;
    }
    return static_cast<long long>(time);
}

bool writeTime(HKEY key, const char* value, long long time)
{
    const auto data = static_cast<unsigned long long>(time);
    return RegSetValueExA(key, value, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data))
           == ERROR_SUCCESS;
}
