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

// The record of version as it stands, or a new one where it is another version's.
FailedInstallations recordOf(const std::string& version)
{
    FailedInstallations record = readFailedInstallations();
    if (record.version != version) {
        record = FailedInstallations{.version = version};
    }
    return record;
}

// Writes the whole record; false when any of its values could not be written. The version goes
// last: a launcher ended half-way leaves the numbers of a new version under the old one, which is
// no longer offered, and never the old version's counts under the new one.
bool storeRecord(const FailedInstallations& record)
{
    const RegistryKey key = openLauncherStateForWriting();
    return key && setNumber(key.get(), countValue, record.count)
           && setNumber(key.get(), exitCodeValue, record.lastExitCode)
           && setNumber(key.get(), attemptsValue, record.failedAttempts)
           && writeTime(key.get(), attemptTimeValue, record.lastAttemptAt)
           && writeText(key.get(), versionValue, record.version);
}

} // namespace

FailedInstallations readFailedInstallations()
{
    const RegistryKey key = openKeyForReading(HKEY_CURRENT_USER, launcherStateKey);
    if (!key) {
        return {};
    }
    FailedInstallations record;
    record.version = readText(key.get(), versionValue, longestVersionBytes);
    const bool counted = readNumber(key.get(), countValue, record.count)
                         && readNumber(key.get(), exitCodeValue, record.lastExitCode);
    if (!counted || !isLetterVersion(record.version) || record.count > largestSensibleCount) {
        return {};
    }
    // Attempts are counted only where a record of the version is; a value of another kind is none.
    record.lastAttemptAt = readTime(key.get(), attemptTimeValue);
    if (!readNumber(key.get(), attemptsValue, record.failedAttempts)
        || record.failedAttempts > largestSensibleCount || record.lastAttemptAt == 0) {
        record.failedAttempts = 0;
        record.lastAttemptAt = 0;
    }
    return record;
}

unsigned long recordFailedInstallation(const std::string& version, unsigned long exitCode)
{
    FailedInstallations record = recordOf(version);
    ++record.count;
    record.lastExitCode = exitCode;
    return storeRecord(record) ? record.count : 0;
}

unsigned long recordFailedAttempt(const std::string& version, long long now)
{
    FailedInstallations record = recordOf(version);
    ++record.failedAttempts;
    record.lastAttemptAt = now;
    return storeRecord(record) ? record.failedAttempts : 0;
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
