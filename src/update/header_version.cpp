// Header collection and version extraction for the release probe.
#include "header_version.h"

#include "versions/versions.h"

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
