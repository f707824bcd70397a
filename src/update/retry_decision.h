// What follows a download attempt that did not bring the whole installer: resume where it broke
// off, start again from the first byte, or give up; and how long to wait first. No platform or
// libcurl header: the decision is a table in its test.
#pragma once

#include <string>

// A lost connection is tried again this often.
constexpr int mostDownloadRetries = 3;

// What the last attempt left behind.
struct AttemptFacts {
    int curlCode = 0;                // libcurl's result (a number as in curl/curl.h)
    long httpStatus = 0;             // the last response's status, 0 without one
    int retriesSoFar = 0;            // attempts after the first one so far
    bool rangeRefusedBefore = false; // a 416 was answered to an earlier ranged request
    long long offset = 0;            // where the attempt began: 0 for the whole body
    long long written = 0;           // bytes in the file once the attempt's bytes were flushed
    long long completeLength = 0;    // the whole file's length, as the first answer declared it; 0: unknown
    std::string resumedWith;         // the validator the attempt resumed with (offset > 0)
    bool acceptsRanges = false;      // the last response had Accept-Ranges: bytes
    std::string etag;                // the last response's ETag, Last-Modified, Retry-After
    std::string lastModified;
    std::string retryAfter;
};

// complete: every byte of the file is there already, and nothing is asked for again.
enum class RetryAction { giveUp, resume, restart, complete };

struct RetryDecision {
    RetryAction action = RetryAction::giveUp;
    long waitMilliseconds = 0; // before the next attempt
    long long resumeAt = 0;    // resume: the first byte asked for, the file's length
    // resume: sent as If-Range, so a changed file comes whole. Only text of a validator's shape
    // (a strong entity tag of visible characters, or an HTTP date) goes back to the network.
    std::string validator;
    bool rangeRefused = false; // carried to the next attempt's facts
};

// The next step after an attempt that failed (curlCode not 0).
RetryDecision decideRetry(const AttemptFacts& facts);

// True for a strong entity tag: visible ASCII characters but '"' between two '"'.
bool isStrongEntityTag(const std::string& value);
