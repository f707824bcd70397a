// Collects the response headers of the release probe and cuts the newest installer's version
// out of them. No Windows or libcurl header is needed, so this is tested on its own.
#pragma once

#include <cstddef>
#include <string>

// Headers of a genuine release-service response take a few hundred bytes; anything past this
// is not a response worth reading.
constexpr std::size_t maxHeaderBytes = std::size_t{64} * 1024;

// CURLOPT_HEADERFUNCTION: appends each header line to the std::string that userdata points to.
// Returns the number of bytes taken; anything else makes libcurl abort the transfer.
std::size_t header_callback(char* buffer, std::size_t size, std::size_t nitems, void* userdata);

// The version in the last installer file name ("..._8u432b06.msi") in the headers, or the
// empty string when there is no well-formed letter-form version.
std::string versionFromHeaders(const std::string& headerBuffer);

// The value of header name (any case) in the last response of headerBuffer, which holds the
// headers of every response of a transfer, redirects included; empty when it has none.
std::string lastResponseHeader(const std::string& headerBuffer, const std::string& name);

// What a 206's Content-Range value ("bytes 500-999/1000") says: the body's first byte and the
// whole file's length; -1 for each part it does not give ("bytes 500-999/*"), and both -1 for any
// other value ("bytes */1000", a missing unit, a number too long, a last byte before the first
// or not below the length).
struct ContentRange {
    long long first = -1;
    long long complete = -1;
};
ContentRange contentRange(const std::string& value);
