// Whether a path lies in a folder, by Windows' rules for names. No platform header.
#include "runtime_in_use.h"

#include "platform/ascii_case.h"

bool isInFolder(const std::string& path, const std::string& folder)
{
    std::string base = folder;
    while (!base.empty() && (base.back() == '\\' || base.back() == '/')) {
        base.pop_back();
    }
    if (base.empty() || path.size() <= base.size() + 1) {
        return false;
    }
    const char separator = path[base.size()];
    return (separator == '\\' || separator == '/') && sameIgnoringCase(path.substr(0, base.size()), base);
}
