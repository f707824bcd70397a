// The record of the update checks. Like every value of the launcher's key it is read as untrusted
// data: whatever is not of the type and form that the launcher writes counts as absent.
#include "check_record.h"

#include "registry.h"
#include "versions/versions.h"

#include <windows.h>

namespace {

const char* const checkedAtValue = "LastCheckTime";
const char* const versionValue = "LastCheckVersion";
const char* const notBeforeValue = "CheckNotBefore";
const char* const serviceValue = "LastCheckService";
const char* const unreachableValue = "UnreachableReported";
// One value, written whole or not at all: the service itself says whose check was late.
const char* const lateServiceValue = "LateCheckService";
// Letter-form versions are short; anything longer is not one.
constexpr unsigned long longestVersionBytes = 32;
// A service URL has at most 2,048 characters, and its NUL.
constexpr unsigned long longestServiceBytes = 2049;

} // namespace

RememberedCheck readRememberedCheck()
{
    RememberedCheck record;
    const RegistryKey key = openKeyForReading(HKEY_CURRENT_USER, launcherStateKey);
    if (!key) {
        return record;
    }
    record.version = readText(key.get(), versionValue, longestVersionBytes);
    record.checkedAt = isLetterVersion(record.version) ? readTime(key.get(), checkedAtValue) : 0;
    if (record.checkedAt == 0) {
        record.version.clear();
    }
    record.notBefore = readTime(key.get(), notBeforeValue);
    record.service = readText(key.get(), serviceValue, longestServiceBytes);
    record.lateService = readText(key.get(), lateServiceValue, longestServiceBytes);
    return record;
}

// Each value is written whole, but a launcher can end between two of them (ended by the user, a
// log-off): the service's value goes first and comes back last, so that a record cut short has
// no service, and the next start checks as if nothing were remembered.
void rememberCheck(long long checkedAt, const std::string& version, const std::string& service)
{
    const RegistryKey key = openLauncherStateForWriting();
    if (!key) {
        return;
    }
    (void)RegDeleteValueA(key.get(), serviceValue);
    (void)writeTime(key.get(), checkedAtValue, checkedAt);
    writeText(key.get(), versionValue, version);
    (void)RegDeleteValueA(key.get(), notBeforeValue);
    writeText(key.get(), serviceValue, service);
}

void rememberServiceWait(long long notBefore, const std::string& service)
{
    const RegistryKey key = openLauncherStateForWriting();
    if (!key) {
        return;
    }
    // One record for one service: another service's answer must not pass for this one's.
    if (readText(key.get(), serviceValue, longestServiceBytes) == service) {
        (void)writeTime(key.get(), notBeforeValue, notBefore);
        return;
    }
    (void)RegDeleteValueA(key.get(), serviceValue);
    (void)RegDeleteValueA(key.get(), checkedAtValue);
    (void)RegDeleteValueA(key.get(), versionValue);
    (void)writeTime(key.get(), notBeforeValue, notBefore);
    writeText(key.get(), serviceValue, service);
}

void rememberLateCheck(const std::string& service, bool late)
{
    const RegistryKey key = openLauncherStateForWriting();
    if (!key) {
        return;
    }
    if (late) {
        writeText(key.get(), lateServiceValue, service);
    } else {
        (void)RegDeleteValueA(key.get(), lateServiceValue);
    }
}

long long readUnreachableReported()
{
    const RegistryKey key = openKeyForReading(HKEY_CURRENT_USER, launcherStateKey);
    return key ? readTime(key.get(), unreachableValue) : 0;
}

void rememberUnreachableReported(long long reportedAt)
{
    const RegistryKey key = openLauncherStateForWriting();
    if (key) {
        (void)writeTime(key.get(), unreachableValue, reportedAt);
    }
}

void rememberInstalledVersion(const std::string& version)
{
    if (readRememberedCheck().checkedAt == 0 || !isLetterVersion(version)) {
        return;
    }
    const RegistryKey key = openLauncherStateForWriting();
    if (key) {
        writeText(key.get(), versionValue, version);
    }
}
