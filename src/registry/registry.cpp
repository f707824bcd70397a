// Registry readers. Keys are opened with KEY_READ and no view flag: this 64-bit process
// reaches the records of 32-bit installers through the literal WOW6432Node in the paths.
#include "registry.h"

#include "versions/versions.h"

#include <cstring>
#include <memory>
#include <type_traits>

namespace {

const char* const runtimeRecordsKey = R"(SOFTWARE\WOW6432Node\Eclipse Adoptium\JRE)";
constexpr DWORD registryBufferSize = 1024;

using RegistryKey = std::unique_ptr<std::remove_pointer_t<HKEY>, decltype(&RegCloseKey)>;

RegistryKey openKeyForReading(HKEY hive, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(hive, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        key = nullptr;
    }
    return {key, &RegCloseKey};
}

// Registry data need not end in a NUL; never read past what was returned.
std::string textUpToNul(const char* buffer, DWORD size)
{
    return {buffer, strnlen(buffer, size)};
}

} // namespace

std::string findjavaVersionReg()
{
    const RegistryKey key = openKeyForReading(HKEY_LOCAL_MACHINE, runtimeRecordsKey);
    if (!key) {
        return {};
    }
    char subKeyBuffer[registryBufferSize];
    DWORD subKeyBufferSize = registryBufferSize;
    // Index 0 is the first subkey in the registry's own order, not the highest version.
    if (RegEnumKeyExA(key.get(), 0, subKeyBuffer, &subKeyBufferSize, nullptr, nullptr, nullptr, nullptr)
        != ERROR_SUCCESS) {
        return {};
    }
    return dotToLet(textUpToNul(subKeyBuffer, subKeyBufferSize));
}

std::string queryRegistry(const std::string& key, const std::string& value, const HKEY& registryHive)
{
    const RegistryKey opened = openKeyForReading(registryHive, key);
    if (!opened) {
        return {};
    }
    char valueBuffer[registryBufferSize];
    DWORD bufferSize = registryBufferSize;
    // The type is not checked: REG_EXPAND_SZ comes back as stored, unexpanded.
    if (RegQueryValueExA(opened.get(), value.c_str(), nullptr, nullptr, reinterpret_cast<LPBYTE>(valueBuffer),
                         &bufferSize)
        != ERROR_SUCCESS) {
        return {};
    }
    return textUpToNul(valueBuffer, bufferSize);
}
