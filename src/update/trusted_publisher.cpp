// The publishers whose installers the launcher runs.
#include "trusted_publisher.h"

#include <algorithm>
#include <cctype>

const char* const runtimePublisher = "Eclipse.org Foundation, Inc.";

namespace {

bool sameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x))
                      == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

bool isTrustedPublisher(const std::string& organisation, const std::vector<std::string>& added)
{
    if (organisation.empty()) {
        return false;
    }
    return sameName(organisation, runtimePublisher)
           || std::any_of(added.begin(), added.end(),
                          [&organisation](const std::string& name) { return sameName(organisation, name); });
}
