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
const char* const attemptsValue = "FailedAttempts";
const char* const attemptTimeValue = "FailedAttemptTime";
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
    // Attempts are counted only where a record of the version is; a value of another kind is none.
    const RegistryKey key = openKeyForReading(HKEY_CURRENT_USER, launcherStateKey);
    record.lastAttemptAt = key ? readTime(key.get(), attemptTimeValue) : 0;
    if (!key || !readNumber(key.get(), attemptsValue, record.failedAttempts)
        || record.failedAttempts > largestSensibleCount || record.lastAttemptAt == 0) {
        record.failedAttempts = 0;
        record.lastAttemptAt = 0;
    }
    return record;
}

unsigned long recordFailedInstallation(const std::string& version, unsigned long exitCode)
{
    const FailedInstallations previous = readFailedInstallations();
    const bool same = previous.version == version;
    const DWORD count = same ? previous.count + 1 : 1;
    const DWORD code = exitCode;
    const RegistryKey key = openLauncherStateForWriting();
    const bool stored = key && writeText(key.get(), versionValue, version)
                        && setNumber(key.get(), countValue, count)
                        && setNumber(key.get(), exitCodeValue, code)
                        && (same || RegDeleteValueA(key.get(), attemptsValue) != ERROR_ACCESS_DENIED);
    return stored ? count : 0;
}

unsigned long recordFailedAttempt(const std::string& version, long long now)
{
    const FailedInstallations previous = readFailedInstallations();
    const bool same = previous.version == version;
    const DWORD attempts = same ? previous.failedAttempts + 1 : 1;
    const RegistryKey key = openLauncherStateForWriting();
    const bool stored = key && writeText(key.get(), versionValue, version)
                        && setNumber(key.get(), countValue, same ? previous.count : 0)
                        && setNumber(key.get(), exitCodeValue, same ? previous.lastExitCode : 0)
                        && setNumber(key.get(), attemptsValue, attempts)
                        && writeTime(key.get(), attemptTimeValue, now);
    return stored ? attempts : 0;
}

void clearFailedInstallations()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, launcherStateKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        return;
    }
    for (const char* name : {versionValue, countValue, exitCodeValue, attemptsValue, attemptTimeValue}) {
        (void)RegDeleteValueA(key, name);
    }
    (void)RegCloseKey(key);
}
