// Reads the administrators' update policy, with the same care as every other registry value.
#include "policy.h"

#include "platform/ascii_case.h"
#include "registry/registry.h"
#include "update/check_schedule.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace {

const char* const policyKey = R"(SOFTWARE\Policies\Marveth\KLV)";
const char* const updateCheckValue = "UpdateCheck";
const char* const serviceUrlValue = "ReleaseServiceUrl";
const char* const publishersValue = "TrustedPublishers";
const char* const checkPeriodValue = "UpdateCheckPeriodMinutes";
const char* const installScopeValue = "InstallScope";
// "machine" and its NUL; a longer value is none of the two.
constexpr unsigned long longestScopeBytes = 8;
// An X.520 organisation name has at most 64 characters; a list of a few is all a mirror needs.
constexpr std::string::size_type longestPublisher = 128;
constexpr std::size_t mostPublishers = 16;
constexpr unsigned long longestPublisherList = 8192;
constexpr unsigned long updateCheckOff = 0;
constexpr std::string::size_type longestServiceUrl = 2048;

bool startsWithNoCase(const std::string& text, const std::string& prefix)
{
    return sameIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool isNamed(HKEY key, const char* value)
{
    return RegQueryValueExA(key, value, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool isPrintable(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto code = static_cast<unsigned char>(c);
        return code >= ' ' && code != 0x7F;
    });
}

} // namespace

std::vector<std::string> acceptedPublishers(const std::vector<std::string>& entries)
{
    std::vector<std::string> accepted;
    std::copy_if(entries.begin(), entries.end(), std::back_inserter(accepted), [](const std::string& entry) {
        return entry.size() <= longestPublisher && isPrintable(entry);
    });
    if (accepted.size() > mostPublishers) {
        accepted.resize(mostPublishers);
    }
    return accepted;
}

bool isAcceptedServiceUrl(const std::string& url)
{
    if (url.size() > longestServiceUrl) {
        return false;
    }
    std::string::size_type hostStart = 0;
    if (startsWithNoCase(url, "https://")) {
        hostStart = 8;
    } else if (startsWithNoCase(url, "http://")) {
        hostStart = 7;
    } else {
        return false;
    }
    const bool plain = std::all_of(url.begin(), url.end(), [](char c) {
        const auto code = static_cast<unsigned char>(c);
        return code > ' ' && code != 0x7F;
    });
    return plain && hostStart < url.size() && url[hostStart] != '/';
}

UpdatePolicy readUpdatePolicy(const std::string& compiledInUrl)
{
    UpdatePolicy policy;
    policy.serviceUrl = compiledInUrl;
    // Policies live in the 64-bit view, which is also this process's own; say so explicitly.
    const RegistryKey key = openKeyForReading(HKEY_LOCAL_MACHINE, policyKey, KEY_WOW64_64KEY);
    if (!key) {
        return policy;
    }
    unsigned long updateCheck = 1;
    if (readNumber(key.get(), updateCheckValue, updateCheck)) {
        policy.updateCheck = updateCheck != updateCheckOff;
    }
    // One byte more than the longest URL accepted, for its NUL; longer data fails to read.
    const std::string mirror = readText(key.get(), serviceUrlValue, longestServiceUrl + 1);
    if (isAcceptedServiceUrl(mirror)) {
        policy.serviceUrl = mirror;
    }
    policy.trustedPublishers =
        acceptedPublishers(readTextList(key.get(), publishersValue, longestPublisherList));
    unsigned long period = 0;
    if (readNumber(key.get(), checkPeriodValue, period) && period <= longestCheckPeriodMinutes) {
        policy.checkPeriodMinutes = period;
    } else {
        policy.checkPeriodIgnored = isNamed(key.get(), checkPeriodValue); // of another type, or past 30 days
    }
    policy.installScope = scopePolicyOf(readText(key.get(), installScopeValue, longestScopeBytes),
                                        isNamed(key.get(), installScopeValue));
    return policy;
}
