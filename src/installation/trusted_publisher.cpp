// The publishers whose installers the launcher runs.
#include "trusted_publisher.h"

#include "klv-build-choices.h"
#include "platform/ascii_case.h"

#include <algorithm>

const char* const runtimePublisher = "Eclipse.org Foundation, Inc.";

std::vector<std::string> publisherList(const std::string& list)
{
    std::vector<std::string> names;
    std::string::size_type at = 0;
    while (at <= list.size()) {
        const std::string::size_type end = std::min(list.find(';', at), list.size());
        const std::string entry = list.substr(at, end - at);
        const std::string::size_type first = entry.find_first_not_of(" \t");
        if (first != std::string::npos) {
            names.push_back(entry.substr(first, entry.find_last_not_of(" \t") - first + 1));
        }
        at = end + 1;
    }
    return names;
}

const std::vector<std::string>& builtInPublishers()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all{runtimePublisher};
        const std::vector<std::string> added = publisherList(KLV_TRUSTED_PUBLISHERS);
        all.insert(all.end(), added.begin(), added.end());
        return all;
    }();
    return names;
}

bool isTrustedPublisher(const std::string& organisation, const std::vector<std::string>& added,
                        const std::vector<std::string>& builtIn)
{
    if (organisation.empty()) {
        return false;
    }
    const auto matches = [&organisation](const std::string& name) {
        return sameIgnoringCase(organisation, name);
    };
    return std::any_of(builtIn.begin(), builtIn.end(), matches)
           || std::any_of(added.begin(), added.end(), matches);
}
