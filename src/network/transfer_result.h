// What a transfer's outcome means, in words for the log. libcurl's result codes are taken as
// plain numbers, so this needs neither the libcurl nor the Windows headers and is tested on
// its own. (The launcher's libcurl is built without its own texts, to stay small.)
#pragma once

#include <string>

// A few words on libcurl's result code, such as "could not connect".
const char* transferResultText(int curlCode);

// True when a transfer that ended with curlCode (and, for an HTTP error, httpStatus) is worth
// another try: a connection refused or reset, a timeout or the stall limit, a body cut short,
// or a 5xx, 408 or 429 status. Any other 4xx, or a refused certificate, is not.
bool isTransientFailure(int curlCode, long httpStatus);

// The wait a Retry-After value asks for, in seconds, at most mostSeconds (of any number of
// digits); -1 when the value is not a plain number of seconds (the date form is not trusted:
// clocks differ).
long retryAfterSeconds(const std::string& value, long mostSeconds);

// True when a direct request that ended with curlCode, having received receivedBytes, could
// not reach the host at all: the name did not resolve, the connection was refused, or nothing
// came back before the time ran out (a firewall that drops packets without a word). Only then
// is a proxy worth looking for.
bool isUnreachable(int curlCode, long long receivedBytes);
