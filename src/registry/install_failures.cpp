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

bool setNumber(HKEY key, const char* name, DWORD number)
{
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number))
           == ERROR_SUCCESS;
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
    const bool stored = key && writeText(key.get(), versionValue, version)
                        && setNumber(key.get(), countValue, count)
                        && setNumber(key.get(), exitCodeValue, code);
    return stored ? count : 0;
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
