// One attempt of the download. Redirects are followed here, one request a hop, so that each
// hop's host is checked against the user's bypass list by Windows' rules, which libcurl's
// no-proxy list cannot express, and each hop's scheme against the service's.
#include "transfer_attempt.h"

#include "diagnostics/log.h"
#include "header_version.h"
#include "network/connection.h"
#include "network/transfer_result.h"
#include "platform/wait_time.h"
#include "transfer_limits.h"

#include <chrono>

namespace {

// The installer is tens of megabytes, so there is no limit on the whole transfer: a slow link
// must be able to finish. A transfer that stays below 1 KiB/s for a whole minute has stalled.
constexpr long stalledBelowBytesPerSecond = 1024;
constexpr long stalledForSeconds = 60;
constexpr long downloadConnectTimeoutSeconds = 30;
// The real service takes two hops (release host, content host); a loop ends here.
constexpr int mostRedirects = 10;
constexpr long receiveBufferBytes = 256L * 1024L;
constexpr long firstRedirectStatus = 300;
constexpr long lastRedirectStatus = 399;
constexpr long partialContent = 206;
constexpr long firstErrorStatus = 400;

bool isRedirect(long status)
{
    return status >= firstRedirectStatus && status <= lastRedirectStatus;
}

// True when a resumed attempt's answer is the part it asked for, of a file as long as the first
// answer's: a cache that ignores If-Range would otherwise splice another file's end onto it.
bool isPartOfTheSameFile(const Transfer& transfer, long status)
{
    const ContentRange range = contentRange(lastResponseHeader(transfer.headers, "Content-Range"));
    return status == partialContent && range.first == transfer.offset
           && (transfer.completeLength == 0 || range.complete == -1
               || range.complete == transfer.completeLength);
}

// CURLOPT_WRITEFUNCTION of every hop: a redirect's own body is dropped; the installer's goes to
// the file, up to the largest installer. Returns the bytes taken; fewer stop the transfer.
std::size_t write_body(char* ptr, std::size_t size, std::size_t nmemb, void* userdata)
{
    auto* transfer = static_cast<Transfer*>(userdata);
    long status = 0;
    (void)curl_easy_getinfo(transfer->hop, CURLINFO_RESPONSE_CODE, &status);
    if (isRedirect(status)) {
        return size * nmemb;
    }
    // The range is the launcher's own header, not libcurl's resume, so that a redirect's body
    // cannot fail it: the first bytes of a resumed attempt's body are checked here instead.
    const bool firstBytes = transfer->inFile == transfer->offset;
    if (firstBytes && transfer->offset == 0) {
        curl_off_t declared = -1;
        (void)curl_easy_getinfo(transfer->hop, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &declared);
        transfer->completeLength = declared > 0 ? declared : 0;
    } else if (firstBytes && !isPartOfTheSameFile(*transfer, status)) {
        transfer->contentChanged = true;
        return 0;
    }
    const TransferFigures after = transferFigures(transfer->inFile, static_cast<long long>(size * nmemb), 0);
    if (pastLargestInstaller(after.received)) {
        transfer->tooLarge = true;
        return 0;
    }
    const std::size_t written = write_data(ptr, size, nmemb, transfer->file);
    transfer->inFile += static_cast<long long>(written * size);
    return written;
}

// CURLOPT_XFERINFOFUNCTION: passes the progress on, counting what earlier attempts wrote, and
// stops a body declared larger than any installer; a non-zero return aborts the transfer.
int xferinfo_callback(void* clientp, curl_off_t dltotal, curl_off_t dlnow, curl_off_t /*ultotal*/,
                      curl_off_t /*ulnow*/)
{
    auto* transfer = static_cast<Transfer*>(clientp);
    // A redirect's small body is no part of the installer.
    long status = 0;
    (void)curl_easy_getinfo(transfer->hop, CURLINFO_RESPONSE_CODE, &status);
    const bool redirect = isRedirect(status);
    const TransferFigures figures =
        transferFigures(transfer->offset, redirect ? 0 : dlnow, redirect ? 0 : dltotal);
    if (pastLargestInstaller(figures.total)) {
        transfer->tooLarge = true;
        return 1;
    }
    const DownloadObserver& observer = *transfer->observer;
    return observer.progress == nullptr
                   || observer.progress(observer.context, figures.received, figures.total)
               ? 0
               : 1;
}

// Only the schemes the service itself allows: from HTTPS never to plain HTTP.
bool isAllowedHop(const std::string& serviceUrl, const std::string& next)
{
    const std::string scheme = urlScheme(next);
    return scheme == "https" || (scheme == "http" && urlScheme(serviceUrl) == "http");
}

// One request of an attempt, to url.
CURLcode requestHop(const std::string& url, Transfer& transfer, curl_slist* range)
{
    const CurlHandle curl = openServiceRequest(url, *transfer.proxy);
    if (!curl) {
        return CURLE_FAILED_INIT;
    }
    curl_easy_setopt(curl.get(), CURLOPT_XFERINFOFUNCTION, xferinfo_callback);
    curl_easy_setopt(curl.get(), CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl.get(), CURLOPT_NOPROGRESS, 0L);
    // Large pieces: fewer calls into the write function and the file system per megabyte.
    curl_easy_setopt(curl.get(), CURLOPT_BUFFERSIZE, receiveBufferBytes);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, write_body);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERFUNCTION, header_callback);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERDATA, &transfer.headers);
    // An error page is not an installer: fail before writing its body.
    curl_easy_setopt(curl.get(), CURLOPT_FAILONERROR, 1L);
    // A declared length past the largest installer is refused before its body.
    curl_easy_setopt(curl.get(), CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(largestInstallerBytes));
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, downloadConnectTimeoutSeconds);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_LIMIT, stalledBelowBytesPerSecond);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_TIME, stalledForSeconds);
    if (range != nullptr) {
        curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, range);
    }
    transfer.hop = curl.get();
    const CURLcode result = curl_easy_perform(curl.get());
    transfer.hop = nullptr;
    transfer.status = 0;
    (void)curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &transfer.status);
    const char* redirect = nullptr;
    (void)curl_easy_getinfo(curl.get(), CURLINFO_REDIRECT_URL, &redirect);
    transfer.redirect = redirect != nullptr ? redirect : "";
    return result;
}

} // namespace

CURLcode transferOnce(const std::string& apiUrl, Transfer& transfer)
{
    const auto started = std::chrono::steady_clock::now();
    transfer.headers.clear();
    transfer.inFile = transfer.offset;
    transfer.contentChanged = false;
    // Resumed only when the content is still the same: If-Range makes the server send all of
    // it (200) otherwise. Every hop asks for the range; a redirect ignores it. libcurl's own
    // resume is not used: it fails a redirect whose body has no Content-Range, as most hosts'
    // redirects with a small HTML page do, and it takes a 416 for success.
    curl_slist* range = nullptr;
    if (transfer.offset > 0) {
        range = curl_slist_append(nullptr, ("Range: bytes=" + std::to_string(transfer.offset) + "-").c_str());
        curl_slist* const both = range != nullptr
                                     ? curl_slist_append(range, ("If-Range: " + transfer.validator).c_str())
                                     : nullptr;
        if (both == nullptr) {
            curl_slist_free_all(range);
            return CURLE_OUT_OF_MEMORY;
        }
    }
    std::string url = apiUrl;
    CURLcode result = CURLE_TOO_MANY_REDIRECTS;
    for (int hop = 0; hop <= mostRedirects; ++hop) {
        result = requestHop(url, transfer, range);
        if (result != CURLE_OK || !isRedirect(transfer.status)) {
            break;
        }
        if (transfer.redirect.empty() || !isAllowedHop(apiUrl, transfer.redirect)) {
            result = transfer.redirect.empty() ? CURLE_WEIRD_SERVER_REPLY : CURLE_UNSUPPORTED_PROTOCOL;
            break;
        }
        url = transfer.redirect;
        result = CURLE_TOO_MANY_REDIRECTS;
    }
    curl_slist_free_all(range);
    // libcurl refuses a declared length past its limit itself; the callbacks stop the rest.
    transfer.tooLarge = transfer.tooLarge || result == CURLE_FILESIZE_EXCEEDED;
    if (transfer.tooLarge) {
        result = CURLE_FILESIZE_EXCEEDED;
    } else if (transfer.contentChanged) {
        result = CURLE_RANGE_ERROR;
    }
    logEvent("download", {{"host", urlHost(url)},
                          {"status", std::to_string(transfer.status)},
                          {"from", std::to_string(transfer.offset)},
                          {"bytes", std::to_string(transfer.inFile - transfer.offset)},
                          {"ms", std::to_string(millisecondsSince(started))},
                          {"curl", std::to_string(result)},
                          {"curl-text", transferResultText(result)}});
    if (result != CURLE_OK) {
        return result;
    }
    // An error status that libcurl let through (some of its versions take a 416 to a resumed
    // request for success) is the HTTP error it is, for the retry decision.
    if (transfer.status >= firstErrorStatus) {
        return CURLE_HTTP_RETURNED_ERROR;
    }
    // The last piece is flushed here; a full disk shows up now.
    return transfer.status >= 200 && transfer.status < 300 && std::fflush(transfer.file) == 0
               ? CURLE_OK
               : CURLE_WRITE_ERROR;
}
