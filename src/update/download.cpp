// The transfer of the installer into a part file of this run's own, with retries that resume
// where the connection was lost, and the package that the part file becomes. Only a complete
// download is kept and renamed, through the same handle, to a name that nothing else has.
#include <winsock2.h> // libcurl's header, through the attempt's, needs it before windows.h

#include "download.h"

#include "diagnostics/log.h"
#include "header_version.h"
#include "part_file.h"
#include "platform/file_hash.h"
#include "retry_decision.h"
#include "transfer_attempt.h"

#include <fcntl.h>
#include <io.h>

#include <cstdint>

namespace {

constexpr std::size_t fileBufferBytes = std::size_t{1024} * 1024;
constexpr long waitStepMilliseconds = 100;

FileHandle noFile()
{
    return {nullptr, &closeFile};
}

// Empties the file for a fresh start. False when it cannot be.
bool startAgain(Transfer& transfer)
{
    transfer.offset = 0;
    transfer.validator.clear();
    transfer.completeLength = 0;
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
    facts.completeLength = transfer.completeLength;
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
        if (decision.action == RetryAction::complete) {
            // Every byte arrived before the connection failed; the package's checks judge them.
            logEvent("download-retry", {{"retry", "none"}, {"complete", std::to_string(facts.written)}});
            return CURLE_OK;
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
    Transfer transfer{&observer, &proxy, fp, nullptr, 0, 0, {}, {}, 0, {}, false, false, 0};
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
