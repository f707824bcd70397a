// One attempt of the download: the requests from the service's URL through its redirects to the
// installer's body, written into the part file.
#pragma once

#include "download.h"
#include "network/curl_handle.h"

#include <cstdio>
#include <string>

// The state of one download across its attempts and their hops.
struct Transfer {
    const DownloadObserver* observer;
    const ProxyChoice* proxy;
    FILE* file;
    CURL* hop = nullptr;   // the request under way
    long long offset = 0;  // bytes already in the file when this attempt began
    long long inFile = 0;  // bytes in the file now
    std::string validator; // what this attempt resumes with: the first answer's ETag or Last-Modified
    std::string headers;   // this attempt's response headers, every hop's
    long status = 0;
    std::string redirect;  // where the last hop's redirect leads, resolved by libcurl
    bool tooLarge = false; // the body is, or is declared, larger than any installer
    // A resumed attempt was answered with other content than the part it asked for: the whole
    // file (the validator no longer matches, or the host ignores ranges) or a range elsewhere.
    bool contentChanged = false;
    // The whole file's length as the first answer of the download declared it; 0: unknown.
    long long completeLength = 0;
};

// One attempt: the whole body, or from transfer.offset on when that is set (with
// transfer.validator as If-Range), following the redirects; an answer that is not that part
// ends it with CURLE_RANGE_ERROR. CURLE_OK only when the body arrived
// whole and reached the file; the body's bytes beyond the largest installer stop it.
CURLcode transferOnce(const std::string& apiUrl, Transfer& transfer);
