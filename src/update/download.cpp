// The transfer of the installer into a part file of this run's own, with retries that resume
// where the connection was lost, and the package that the part file becomes. Only a complete
// download is kept and renamed, through the same handle, to a name that nothing else has.
// Redirects are followed here, one request a hop, so that each hop's host is checked against
// the user's bypass list by Windows' rules, which libcurl's no-proxy list cannot express.
#include "download.h"

#include "diagnostics/log.h"
#include "header_version.h"
#include "network/connection.h"
#include "network/transfer_result.h"
#include "part_file.h"
#include "platform/file_hash.h"
#include "retry_decision.h"
#include "transfer_limits.h"

#include <fcntl.h>
#include <io.h>

#include <chrono>
#include <cstdint>

namespace {

// The installer is tens of megabytes, so there is no limit on the whole transfer: a slow link
// must be able to finish. A transfer that stays below 1 KiB/s for a whole minute has stalled.
constexpr long stalledBelowBytesPerSecond = 1024;
constexpr long stalledForSeconds = 60;
constexpr long downloadConnectTimeoutSeconds = 30;
// The real service takes two hops (release host, content host); a loop ends here.
constexpr int mostRedirects = 10;
constexpr long receiveBufferBytes = 256L * 1024L;
constexpr std::size_t fileBufferBytes = std::size_t{1024} * 1024;
constexpr long waitStepMilliseconds = 100;
constexpr long firstRedirectStatus = 300;
constexpr long lastRedirectStatus = 399;

FileHandle noFile()
{
    return {nullptr, &closeFile};
}

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
};

bool isRedirect(long status)
{
    return status >= firstRedirectStatus && status <= lastRedirectStatus;
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
    const TransferFigures figures = transferFigures(transfer->offset, dlnow, dltotal);
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
CURLcode requestHop(const std::string& url, Transfer& transfer, curl_slist* ifRange)
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
    if (transfer.offset > 0) {
        curl_easy_setopt(curl.get(), CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(transfer.offset));
        curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, ifRange);
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

// One attempt: the whole body, or from transfer.offset on when that is set, following the
// redirects. CURLE_OK only when the body arrived whole and reached the file.
CURLcode transferOnce(const std::string& apiUrl, Transfer& transfer)
{
    const auto started = std::chrono::steady_clock::now();
    transfer.headers.clear();
    transfer.inFile = transfer.offset;
    // Resumed only when the content is still the same: If-Range makes the server send all of
    // it (200) otherwise, which libcurl reports as CURLE_RANGE_ERROR.
    curl_slist* ifRange = transfer.offset > 0
                              ? curl_slist_append(nullptr, ("If-Range: " + transfer.validator).c_str())
                              : nullptr;
    std::string url = apiUrl;
    CURLcode result = CURLE_TOO_MANY_REDIRECTS;
    for (int hop = 0; hop <= mostRedirects; ++hop) {
        result = requestHop(url, transfer, ifRange);
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
    curl_slist_free_all(ifRange);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    // libcurl refuses a declared length past its limit itself; the callbacks stop the rest.
    transfer.tooLarge = transfer.tooLarge || result == CURLE_FILESIZE_EXCEEDED;
    if (transfer.tooLarge) {
        result = CURLE_FILESIZE_EXCEEDED;
    }
    logEvent("download", {{"host", urlHost(url)},
                          {"status", std::to_string(transfer.status)},
                          {"from", std::to_string(transfer.offset)},
                          {"bytes", std::to_string(transfer.inFile - transfer.offset)},
                          {"ms", std::to_string(elapsed.count())},
                          {"curl", std::to_string(result)},
                          {"curl-text", transferResultText(result)}});
    if (result != CURLE_OK) {
        return result;
    }
    // The last piece is flushed here; a full disk shows up now.
    return transfer.status >= 200 && transfer.status < 300 && std::fflush(transfer.file) == 0
               ? CURLE_OK
               : CURLE_WRITE_ERROR;
}

// Empties the file for a fresh start. False when it cannot be.
bool startAgain(Transfer& transfer)
{
    transfer.offset = 0;
    transfer.validator.clear();
    return _chsize_s(_fileno(transfer.file), 0) == 0 && std::fseek(transfer.file, 0, SEEK_SET) == 0;
}

// Waits before the next attempt, showing why, for as long as the user does not cancel.
bool waitBeforeRetry(const DownloadObserver& observer, long milliseconds)
{
    for (long waited = 0; waited < milliseconds; waited += waitStepMilliseconds) {
        if (observer.waiting != nullptr && !observer.waiting(observer.context, waitReasonRetrying)) {
            return false;
        }
        Sleep(static_cast<DWORD>(waitStepMilliseconds));
    }
    return true;
}

// What the attempt that ended with result left behind, for the retry decision. The file is
// flushed first, so that its length is what reached the disk.
AttemptFacts factsOf(const Transfer& transfer, CURLcode result, int retry, bool rangeRefused)
{
    AttemptFacts facts;
    facts.curlCode = result;
    facts.httpStatus = transfer.status;
    facts.retriesSoFar = retry;
    facts.rangeRefusedBefore = rangeRefused;
    facts.offset = transfer.offset;
    facts.written = std::fflush(transfer.file) == 0 ? _ftelli64(transfer.file) : -1;
    facts.resumedWith = transfer.validator;
    facts.acceptsRanges = lastResponseHeader(transfer.headers, "Accept-Ranges") == "bytes";
    facts.etag = lastResponseHeader(transfer.headers, "ETag");
    facts.lastModified = lastResponseHeader(transfer.headers, "Last-Modified");
    facts.retryAfter = lastResponseHeader(transfer.headers, "Retry-After");
    return facts;
}

// The whole transfer, retried after transient failures and resumed where the content host
// allows it; the decision is decideRetry's, and this only carries it out.
CURLcode transferWithRetries(const std::string& apiUrl, Transfer& transfer)
{
    CURLcode result = transferOnce(apiUrl, transfer);
    bool rangeRefused = false;
    for (int retry = 0; result != CURLE_OK; ++retry) {
        const AttemptFacts facts = factsOf(transfer, result, retry, rangeRefused);
        if (facts.written < 0) {
            return CURLE_WRITE_ERROR;
        }
        const RetryDecision decision = decideRetry(facts);
        if (decision.action == RetryAction::giveUp) {
            break;
        }
        rangeRefused = decision.rangeRefused;
        logEvent("download-retry", {{"retry", std::to_string(retry + 1)},
                                    {"wait-ms", std::to_string(decision.waitMilliseconds)},
                                    {"from", std::to_string(decision.resumeAt)}});
        if (!waitBeforeRetry(*transfer.observer, decision.waitMilliseconds)) {
            return CURLE_ABORTED_BY_CALLBACK;
        }
        if (decision.action == RetryAction::restart) {
            if (!startAgain(transfer)) {
                return CURLE_WRITE_ERROR;
            }
        } else {
            // The file's end is where the next attempt's bytes go.
            transfer.offset = decision.resumeAt;
            transfer.validator = decision.validator;
        }
        result = transferOnce(apiUrl, transfer);
    }
    return result;
}

} // namespace

void closeFile(void* file)
{
    (void)CloseHandle(file);
}

std::size_t write_data(void* ptr, std::size_t size, std::size_t nmemb, void* stream)
{
    return std::fwrite(ptr, size, nmemb, static_cast<FILE*>(stream));
}

// Between closing the part file's handle and opening the read-only one, another program could
// open the file; so its hash is compared with what was written, and a changed package is
// deleted.
FileHandle downloadInstaller(const std::string& apiUrl, const ProxyChoice& proxy, std::string& packagePath,
                             const DownloadObserver& observer, DownloadEnd& end)
{
    end = DownloadEnd::failed;
    HANDLE part = createPartFile(packagePath);
    if (part == INVALID_HANDLE_VALUE) {
        return noFile();
    }
    const std::string partPath = packagePath + ".part";
    if (!markForDeletion(part, true)) {
        (void)CloseHandle(part);
        (void)DeleteFileA(partPath.c_str());
        return noFile();
    }
    // From here on, fclose closes the handle too.
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(part), _O_BINARY);
    FILE* fp = descriptor != -1 ? _fdopen(descriptor, "wb") : nullptr;
    if (fp == nullptr) {
        if (descriptor != -1) {
            (void)_close(descriptor);
        } else {
            (void)CloseHandle(part);
        }
        return noFile();
    }
    (void)std::setvbuf(fp, nullptr, _IOFBF, fileBufferBytes);
    Transfer transfer{&observer, &proxy, fp, nullptr, 0, 0, {}, {}, 0, {}, false};
    const CURLcode result = transferWithRetries(apiUrl, transfer);
    end = transfer.tooLarge                     ? DownloadEnd::tooLarge
          : result == CURLE_ABORTED_BY_CALLBACK ? DownloadEnd::cancelled
          : result == CURLE_OK                  ? DownloadEnd::complete
                                                : DownloadEnd::failed;
    Sha256 written{};
    const bool unmarked = result == CURLE_OK && hashFile(part, written) && markForDeletion(part, false);
    const bool renamed = unmarked && renameToFreeName(part, packagePath);
    if (std::fclose(fp) != 0 || !renamed) {
        end = end == DownloadEnd::complete ? DownloadEnd::failed : end;
        // Still marked for deletion, the file is gone with its handle. Otherwise it is this
        // run's own, under its part name or its new one.
        if (unmarked) {
            (void)DeleteFileA((renamed ? packagePath : partPath).c_str());
        }
        return noFile();
    }
    FileHandle package(CreateFileA(packagePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr),
                       &closeFile);
    Sha256 opened{};
    if (package.get() == INVALID_HANDLE_VALUE || !hashFile(package.get(), opened) || opened != written) {
        package.reset();
        (void)DeleteFileA(packagePath.c_str());
        end = DownloadEnd::failed;
        return noFile();
    }
    return package;
}
