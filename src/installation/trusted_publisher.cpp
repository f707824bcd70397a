// The publishers whose installers the launcher runs.
#include "trusted_publisher.h"

#include "platform/ascii_case.h"

#include <algorithm>

const char* const runtimePublisher = "Eclipse.org Foundation, Inc.";

bool isTrustedPublisher(const std::string& organisation, const std::vector<std::string>& added)
{
    if (organisation.empty()) {
        return false;
    }
    return sameIgnoringCase(organisation, runtimePublisher)
           || std::any_of(added.begin(), added.end(), [&organisation](const std::string& name) {
                  return sameIgnoringCase(organisation, name);
              });
}
