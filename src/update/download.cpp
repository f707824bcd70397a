// The transfer of the installer into a part file of this run's own, with retries that resume
// where the connection was lost, and the package that the part file becomes. Only a complete
// download is kept and renamed, through the same handle, to a name that nothing else has.
#include "download.h"

#include "connection.h"
#include "diagnostics/log.h"
#include "header_version.h"
#include "package_trust.h"
#include "part_file.h"
#include "proxy_settings.h"
#include "transfer_result.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

namespace {

// The installer is tens of megabytes, so there is no limit on the whole transfer: a slow link
// must be able to finish. A transfer that stays below 1 KiB/s for a whole minute has stalled.
constexpr long stalledBelowBytesPerSecond = 1024;
constexpr long stalledForSeconds = 60;
constexpr long downloadConnectTimeoutSeconds = 30;
constexpr long mostRedirects = 10;
constexpr long receiveBufferBytes = 256L * 1024L;
constexpr std::size_t fileBufferBytes = std::size_t{1024} * 1024;

// A lost connection is tried again three times, after 1, 2 and 4 seconds, or after what the
// server's Retry-After asks for, up to half a minute.
constexpr int mostRetries = 3;
constexpr long firstRetryWaitMilliseconds = 1000;
constexpr long longestRetryAfterSeconds = 30;
constexpr long waitStepMilliseconds = 100;

FileHandle noFile()
{
    return {nullptr, &closeFile};
}

// The state of one download across its attempts.
struct Transfer {
    const DownloadObserver* observer;
    FILE* file;
    long long offset = 0;  // bytes already in the file when this attempt began
    std::string validator; // the first answer's ETag, or else its Last-Modified
    std::string headers;   // this attempt's response headers
    long status = 0;
};

// CURLOPT_XFERINFOFUNCTION: passes the progress on, counting what earlier attempts wrote; a
// non-zero return aborts the transfer.
int xferinfo_callback(void* clientp, curl_off_t dltotal, curl_off_t dlnow, curl_off_t /*ultotal*/,
                      curl_off_t /*ulnow*/)
{
    const auto* transfer = static_cast<const Transfer*>(clientp);
    const DownloadObserver& observer = *transfer->observer;
    const auto received = static_cast<unsigned long long>(transfer->offset + (dlnow > 0 ? dlnow : 0));
    const auto total = static_cast<unsigned long long>(dltotal > 0 ? transfer->offset + dltotal : 0);
    return observer.progress(observer.context, received, total) ? 0 : 1;
}

// One attempt: the whole body, or from transfer.offset on when that is set. CURLE_OK only when
// the body arrived whole and reached the file.
CURLcode transferOnce(const std::string& apiUrl, Transfer& transfer)
{
    const CurlHandle curl = openServiceRequest(apiUrl);
    if (!curl) {
        return CURLE_FAILED_INIT;
    }
    if (transfer.observer->progress != nullptr) {
        curl_easy_setopt(curl.get(), CURLOPT_XFERINFOFUNCTION, xferinfo_callback);
        curl_easy_setopt(curl.get(), CURLOPT_XFERINFODATA, &transfer);
        curl_easy_setopt(curl.get(), CURLOPT_NOPROGRESS, 0L);
    }
    // Large pieces: fewer calls into the write function and the file system per megabyte.
    curl_easy_setopt(curl.get(), CURLOPT_BUFFERSIZE, receiveBufferBytes);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, write_data);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, transfer.file);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERFUNCTION, header_callback);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERDATA, &transfer.headers);
    curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 1L);
    // The real service takes two hops (release host, content host); a loop ends here.
    curl_easy_setopt(curl.get(), CURLOPT_MAXREDIRS, mostRedirects);
    // An error page is not an installer: fail before writing its body.
    curl_easy_setopt(curl.get(), CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, downloadConnectTimeoutSeconds);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_LIMIT, stalledBelowBytesPerSecond);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_TIME, stalledForSeconds);
    // Resumed only when the content is still the same: If-Range makes the server send all of
    // it (200) otherwise, which libcurl reports as CURLE_RANGE_ERROR.
    curl_slist* ifRange = nullptr;
    if (transfer.offset > 0) {
        curl_easy_setopt(curl.get(), CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(transfer.offset));
        ifRange = curl_slist_append(nullptr, ("If-Range: " + transfer.validator).c_str());
        curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, ifRange);
    }
    const auto started = std::chrono::steady_clock::now();
    transfer.headers.clear();
    const CURLcode result = curl_easy_perform(curl.get());
    curl_slist_free_all(ifRange);
    transfer.status = 0;
    (void)curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &transfer.status);
    const char* finalUrl = nullptr;
    (void)curl_easy_getinfo(curl.get(), CURLINFO_EFFECTIVE_URL, &finalUrl);
    curl_off_t bytes = 0;
    (void)curl_easy_getinfo(curl.get(), CURLINFO_SIZE_DOWNLOAD_T, &bytes);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    logEvent("download", {{"host", urlHost(finalUrl != nullptr ? finalUrl : "")},
                          {"status", std::to_string(transfer.status)},
                          {"from", std::to_string(transfer.offset)},
                          {"bytes", std::to_string(bytes)},
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

// What the answer offers for resuming: a strong ETag, or else Last-Modified, where the content
// host takes byte ranges at all; empty otherwise.
std::string resumeValidator(const std::string& headers)
{
    if (lastResponseHeader(headers, "Accept-Ranges") != "bytes") {
        return {};
    }
    const std::string etag = lastResponseHeader(headers, "ETag");
    // If-Range takes only a strong validator; a weak ETag ("W/...") would never match.
    return !etag.empty() && etag.rfind("W/", 0) != 0 ? etag : lastResponseHeader(headers, "Last-Modified");
}

// Empties the file for a fresh start. False when it cannot be.
bool startAgain(Transfer& transfer)
{
    transfer.offset = 0;
    transfer.validator.clear();
    return std::fflush(transfer.file) == 0 && _chsize_s(_fileno(transfer.file), 0) == 0
           && std::fseek(transfer.file, 0, SEEK_SET) == 0;
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

// The whole transfer, retried after transient failures and resumed where the content host
// allows it.
CURLcode transferWithRetries(const std::string& apiUrl, Transfer& transfer)
{
    CURLcode result = transferOnce(apiUrl, transfer);
    bool rangeRefused = false;
    long wait = firstRetryWaitMilliseconds;
    for (int retry = 0; retry < mostRetries && result != CURLE_OK; ++retry) {
        const bool changed = result == CURLE_RANGE_ERROR; // a 200 to the ranged request
        const bool notSatisfiable = result == CURLE_HTTP_RETURNED_ERROR && transfer.status == 416;
        if (!changed && !(notSatisfiable && !rangeRefused) && !isTransientFailure(result, transfer.status)) {
            break;
        }
        rangeRefused = rangeRefused || notSatisfiable;
        const long retryAfter =
            retryAfterSeconds(lastResponseHeader(transfer.headers, "Retry-After"), longestRetryAfterSeconds);
        const long milliseconds = changed || notSatisfiable ? 0 : retryAfter >= 0 ? retryAfter * 1000 : wait;
        logEvent("download-retry",
                 {{"retry", std::to_string(retry + 1)}, {"wait-ms", std::to_string(milliseconds)}});
        if (!waitBeforeRetry(*transfer.observer, milliseconds)) {
            return CURLE_ABORTED_BY_CALLBACK;
        }
        wait *= 2;
        if (std::fflush(transfer.file) != 0) {
            return CURLE_WRITE_ERROR;
        }
        const long long written = _ftelli64(transfer.file);
        const std::string validator =
            transfer.offset > 0 ? transfer.validator : resumeValidator(transfer.headers);
        if (changed || notSatisfiable || validator.empty() || written <= 0) {
            if (!startAgain(transfer)) {
                return CURLE_WRITE_ERROR;
            }
        } else {
            transfer.offset = written;
            transfer.validator = validator;
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
FileHandle downloadInstaller(const std::string& apiUrl, std::string& packagePath,
                             const DownloadObserver& observer, bool& cancelled)
{
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
    Transfer transfer{&observer, fp, 0, {}, {}, 0};
    const CURLcode result = transferWithRetries(apiUrl, transfer);
    cancelled = result == CURLE_ABORTED_BY_CALLBACK;
    Sha256 written{};
    const bool unmarked = result == CURLE_OK && hashFile(part, written) && markForDeletion(part, false);
    const bool renamed = unmarked && renameToFreeName(part, packagePath);
    if (std::fclose(fp) != 0 || !renamed) {
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
        return noFile();
    }
    return package;
}
