// Fuzzes the release probe's header handling: whatever a service sends, in whatever pieces,
// the collected headers stay within their bound and the version is empty or well-formed.
#include "update/header_version.h"
#include "versions/versions.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    // The first byte chooses the piece size, as libcurl hands over one header line a call.
    const std::size_t piece = data[0] % 64 + 1;
    std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string headerBuffer;
    for (std::size_t at = 0; at < input.size(); at += piece) {
        std::string line = input.substr(at, piece);
        if (header_callback(line.data(), 1, line.size(), &headerBuffer) != line.size()) {
            break;
        }
    }
    if (headerBuffer.size() > maxHeaderBytes || input.compare(0, headerBuffer.size(), headerBuffer) != 0) {
        std::abort();
    }
    const std::string version = versionFromHeaders(input);
    if (!version.empty() && !isLetterVersion(version)) {
        std::abort();
    }
    return 0;
}
