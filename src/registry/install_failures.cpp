// The record of failed installations. Whatever stands in the key is read as untrusted data: a
// value of the wrong type or size, or numbers no real record reaches, make the whole record
// count as absent.
#include "install_failures.h"

#include "registry.h"
#include "versions/versions.h"

#include <windows.h>

namespace {

const char* const versionValue = "FailedVersion";
const char* const countValue = "FailedCount";
const char* const exitCodeValue = "FailedExitCode";
// Letter-form versions are short; anything longer is not one.
constexpr unsigned long longestVersionBytes = 32;
// Counting stops long before this; a larger number was not written by the launcher.
constexpr unsigned long largestSensibleCount = 1000;

void setValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size)
{
    (void)RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
}

} // namespace

FailedInstallations readFailedInstallations()
{
    FailedInstallations record;
    record.version =
        queryRegistryText(launcherStateKey, versionValue, HKEY_CURRENT_USER, longestVersionBytes);
    const bool counted =
        queryRegistryNumber(launcherStateKey, countValue, HKEY_CURRENT_USER, record.count)
        && queryRegistryNumber(launcherStateKey, exitCodeValue, HKEY_CURRENT_USER, record.lastExitCode);
    if (!counted || !isLetterVersion(record.version) || record.count > largestSensibleCount) {
        return {};
    }
    return record;
}

unsigned long recordFailedInstallation(const std::string& version, unsigned long exitCode)
{
    const FailedInstallations previous = readFailedInstallations();
    const DWORD count = previous.version == version ? previous.count + 1 : 1;
    const DWORD code = exitCode;
    const RegistryKey key = openLauncherStateForWriting();
    if (!key) {
        return count;
    }
    writeText(key.get(), versionValue, version);
    setValue(key.get(), countValue, REG_DWORD, &count, sizeof(count));
    setValue(key.get(), exitCodeValue, REG_DWORD, &code, sizeof(code));
    return count;
}

void clearFailedInstallations()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, launcherStateKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        return;
    }
    for (const char* name : {versionValue, countValue, exitCodeValue}) {
        (void)RegDeleteValueA(key, name);
    }
    (void)RegCloseKey(key);
}
