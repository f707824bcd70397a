// Words for libcurl's result codes (numbers as in curl/curl.h, which the tests check).
#include "transfer_result.h"

#include <algorithm>
#include <iterator>

namespace {

struct ResultText {
    int code;
    // cppcheck-suppress unusedStructMember ; it is read through the result of std::find_if
    const char* text;
};

const ResultText resultTexts[] = {
    {0, "ok"},
    {1, "protocol not allowed"},
    {2, "libcurl could not start"},
    {3, "malformed URL"},
    {5, "could not resolve the proxy"},
    {6, "could not resolve the host"},
    {7, "could not connect"},
    {8, "unexpected answer"},
    {16, "HTTP/2 error"},
    {18, "body cut short"},
    {22, "HTTP error status"},
    {23, "could not write the file"},
    {27, "out of memory"},
    {28, "timed out"},
    {35, "TLS handshake failed"},
    {42, "cancelled"},
    {47, "too many redirects"},
    {52, "empty answer"},
    {55, "could not send"},
    {56, "connection lost"},
    {60, "certificate not trusted"},
    {63, "larger than any installer"},
    {97, "proxy refused"},
};

} // namespace

const char* transferResultText(int curlCode)
{
    const auto* found = std::find_if(std::begin(resultTexts), std::end(resultTexts),
                                     [curlCode](const ResultText& row) { return row.code == curlCode; });
    return found != std::end(resultTexts) ? found->text : "other libcurl error";
}

bool isTransientFailure(int curlCode, long httpStatus)
{
    constexpr int httpError = 22;
    if (curlCode == httpError) {
        return httpStatus >= 500 || httpStatus == 408 || httpStatus == 429;
    }
    // Refused, empty answer, send or receive failed (reset), timed out or stalled, cut short,
    // HTTP/2 stream error.
    const int transient[] = {7, 52, 55, 56, 28, 18, 16};
    return std::find(std::begin(transient), std::end(transient), curlCode) != std::end(transient);
}

long retryAfterSeconds(const std::string& value, long mostSeconds)
{
    const std::string::size_type start = value.find_first_not_of(" \t");
    const std::string::size_type end = value.find_last_not_of(" \t\r\n");
    if (start == std::string::npos) {
        return -1;
    }
    // However many digits: a number past the longest wait asks for the longest wait.
    long seconds = 0;
    for (std::string::size_type at = start; at <= end; ++at) {
        if (value[at] < '0' || value[at] > '9') {
            return -1;
        }
        const long digit = value[at] - '0';
        seconds = seconds > mostSeconds / 10 ? mostSeconds : std::min(mostSeconds, seconds * 10 + digit);
    }
    return seconds;
}

bool isUnreachable(int curlCode, long long receivedBytes)
{
    constexpr int couldNotResolve = 6;
    constexpr int couldNotConnect = 7;
    constexpr int timedOut = 28;
    return curlCode == couldNotResolve || curlCode == couldNotConnect
           || (curlCode == timedOut && receivedBytes == 0);
}
