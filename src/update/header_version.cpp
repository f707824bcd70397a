// Header collection and version extraction for the release probe.
#include "header_version.h"

#include "platform/ascii_case.h"
#include "versions/versions.h"

#include <cctype>

std::size_t header_callback(char* buffer, std::size_t size, std::size_t nitems, void* userdata)
{
    auto* headerBuffer = static_cast<std::string*>(userdata);
    const std::size_t bytes = size * nitems;
    // Stop a peer that sends headers without end before they exhaust memory.
    if (bytes > maxHeaderBytes - headerBuffer->size()) {
        return 0;
    }
    headerBuffer->append(buffer, bytes);
    return bytes;
}

std::string versionFromHeaders(const std::string& headerBuffer)
{
    const std::string::size_type msiPos = headerBuffer.rfind(".msi");
    const std::string::size_type underscorePos = headerBuffer.rfind('_', msiPos);
    // Unsigned arithmetic on purpose: with no "_" the cut starts at npos + 1 = 0.
    const std::string cut = headerBuffer.substr(underscorePos + 1, msiPos - underscorePos - 1);
    // The text comes from the network and ends up in a file path and a registry key, so only
    // a plain version is trusted.
    return isLetterVersion(cut) ? cut : std::string();
}

std::string lastResponseHeader(const std::string& headerBuffer, const std::string& name)
{
    // The last response begins with the last status line: "HTTP/" at the start of a line, never
    // inside a header's value ("Via: HTTP/1.1 gw").
    std::string::size_type lastResponse = headerBuffer.rfind("\nHTTP/");
    lastResponse = lastResponse != std::string::npos ? lastResponse + 1 : 0;
    std::string::size_type line = lastResponse;
    while (line < headerBuffer.size()) {
        std::string::size_type end = headerBuffer.find('\n', line);
        end = end == std::string::npos ? headerBuffer.size() : end;
        const std::string::size_type colon = headerBuffer.find(':', line);
        if (colon < end && sameIgnoringCase(headerBuffer.substr(line, colon - line), name)) {
            const std::string::size_type first = headerBuffer.find_first_not_of(" \t", colon + 1);
            const std::string::size_type last = headerBuffer.find_last_not_of(" \t\r", end - 1);
            return first == std::string::npos || first > last || last >= end
                       ? std::string()
                       : headerBuffer.substr(first, last - first + 1);
        }
        line = end + 1;
    }
    return {};
}

ContentRange contentRange(const std::string& value)
{
    const std::string unit = "bytes ";
    if (!sameIgnoringCase(value.substr(0, unit.size()), unit)) {
        return {};
    }
    // At most 18 digits: never past the largest long long. Each number ends where the next
    // character is not a digit; -1 when there is none, or too many.
    constexpr std::string::size_type mostDigits = 18;
    std::string::size_type at = value.find_first_not_of(' ', unit.size());
    const auto readNumber = [&value, &at] {
        long long number = 0;
        std::string::size_type digits = 0;
        for (; at < value.size() && std::isdigit(static_cast<unsigned char>(value[at])) != 0;
             ++at, ++digits) {
            number = digits < mostDigits ? number * 10 + (value[at] - '0') : number;
        }
        return digits > 0 && digits <= mostDigits ? number : -1;
    };
    const auto skip = [&value, &at](char expected) {
        const bool found = at < value.size() && value[at] == expected;
        at += found ? 1 : 0;
        return found;
    };
    const long long first = readNumber();
    const long long last = first >= 0 && skip('-') ? readNumber() : -1;
    if (first < 0 || last < first || !skip('/')) {
        return {};
    }
    // The length may be unknown to the server ("*").
    const long long complete = skip('*') ? -1 : readNumber();
    if (at != value.size() || (complete >= 0 ? last >= complete : value.back() != '*')) {
        return {};
    }
    return {first, complete};
}
