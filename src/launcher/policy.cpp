// Reads the administrators' update policy, with the same care as every other registry value.
#include "policy.h"

#include "registry/registry.h"

#include <algorithm>
#include <cctype>

namespace {

const char* const policyKey = R"(SOFTWARE\Policies\Marveth\KLV)";
const char* const updateCheckValue = "UpdateCheck";
const char* const serviceUrlValue = "ReleaseServiceUrl";
constexpr unsigned long updateCheckOff = 0;
constexpr std::string::size_type longestServiceUrl = 2048;

bool startsWithNoCase(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size()
           && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
                  return std::tolower(static_cast<unsigned char>(a))
                         == std::tolower(static_cast<unsigned char>(b));
              });
}

} // namespace

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
    // Policies live in the 64-bit view, which is also this process's own; say so explicitly.
    unsigned long updateCheck = 1;
    if (queryRegistryNumber(policyKey, updateCheckValue, HKEY_LOCAL_MACHINE, updateCheck, KEY_WOW64_64KEY)) {
        policy.updateCheck = updateCheck != updateCheckOff;
    }
    // One byte more than the longest URL accepted, for its NUL; longer data fails to read.
    const std::string mirror = queryRegistryText(policyKey, serviceUrlValue, HKEY_LOCAL_MACHINE,
                                                 longestServiceUrl + 1, KEY_WOW64_64KEY);
    policy.serviceUrl = isAcceptedServiceUrl(mirror) ? mirror : compiledInUrl;
    return policy;
}
