// The record of the update checks. Like every value of the launcher's key it is read as untrusted
// data: whatever is not of the type and form that the launcher writes counts as absent.
#include "check_record.h"

#include "registry.h"
#include "versions/versions.h"

#include <windows.h>

#include <climits>

namespace {

const char* const checkedAtValue = "LastCheckTime";
const char* const versionValue = "LastCheckVersion";
const char* const notBeforeValue = "CheckNotBefore";
const char* const serviceValue = "LastCheckService";
const char* const unreachableValue = "UnreachableReported";
// Letter-form versions are short; anything longer is not one.
constexpr unsigned long longestVersionBytes = 32;
// A service URL has at most 2,048 characters, and its NUL.
constexpr unsigned long longestServiceBytes = 2049;

long long readTime(HKEY key, const char* name)
{
    unsigned long long time = 0;
    DWORD size = sizeof(time);
    DWORD type = REG_NONE;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&time), &size) != ERROR_SUCCESS
        || type != REG_QWORD || size != sizeof(time) || time > static_cast<unsigned long long>(LLONG_MAX)) {
        return 0;
    }
    return static_cast<long long>(time);
}

void writeTime(HKEY key, const char* name, long long time)
{
    const auto data = static_cast<unsigned long long>(time);
    (void)RegSetValueExA(key, name, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
}

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
    writeTime(key.get(), checkedAtValue, checkedAt);
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
        writeTime(key.get(), notBeforeValue, notBefore);
        return;
    }
    (void)RegDeleteValueA(key.get(), serviceValue);
    (void)RegDeleteValueA(key.get(), checkedAtValue);
    (void)RegDeleteValueA(key.get(), versionValue);
    writeTime(key.get(), notBeforeValue, notBefore);
    writeText(key.get(), serviceValue, service);
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
        writeTime(key.get(), unreachableValue, reportedAt);
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
