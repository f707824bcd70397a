// Download, installation and clean-up of the runtime installer.
#include "installer.h"

#include "connection.h"
#include "package_trust.h"
#include "registry/registry.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
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

constexpr unsigned long installedRebootRequired = 3010; // ERROR_SUCCESS_REBOOT_REQUIRED
constexpr unsigned long installedRebootStarted = 1641;  // ERROR_SUCCESS_REBOOT_INITIATED

using ProcessHandle = std::unique_ptr<void, decltype(&CloseHandle)>;
using FileHandle = std::unique_ptr<void, decltype(&CloseHandle)>;

FileHandle noFile()
{
    return {nullptr, &CloseHandle};
}

bool isSuccessStatus(long status)
{
    return status >= 200 && status < 300;
}

// Marks the open file for deletion when its last handle closes, or takes that back.
bool deleteOnClose(HANDLE file, bool remove)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

// Gives the open file another name in the same folder, replacing a file of that name.
bool renameOpenFile(HANDLE file, const std::string& newPath)
{
    const std::wstring name = widePath(newPath);
    const std::size_t nameBytes = name.size() * sizeof(wchar_t);
    // The record ends in the name; its own one-character array holds the terminating NUL.
    std::vector<unsigned char> record(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(record.data());
    // The record shares this field with the flags of newer Windows versions.
    rename->ReplaceIfExists = TRUE; // NOLINT(cppcoreguidelines-pro-type-union-access)
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::copy(name.begin(), name.end(), rename->FileName);
    return SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(record.size()))
           != FALSE;
}

// CURLOPT_XFERINFOFUNCTION: passes the progress on; a non-zero return aborts the transfer.
int xferinfo_callback(void* clientp, curl_off_t dltotal, curl_off_t dlnow, curl_off_t /*ultotal*/,
                      curl_off_t /*ulnow*/)
{
    const auto* observer = static_cast<const DownloadObserver*>(clientp);
    const auto received = static_cast<unsigned long long>(dlnow > 0 ? dlnow : 0);
    const auto total = static_cast<unsigned long long>(dltotal > 0 ? dltotal : 0);
    return observer->progress(observer->context, received, total) ? 0 : 1;
}

// Runs the transfer from apiUrl into fp. CURLE_OK only when the whole body arrived and reached
// the file.
CURLcode transfer(const std::string& apiUrl, FILE* fp, const DownloadObserver& observer)
{
    const CurlHandle curl = openServiceRequest(apiUrl);
    if (!curl) {
        return CURLE_FAILED_INIT;
    }
    if (observer.progress != nullptr) {
        curl_easy_setopt(curl.get(), CURLOPT_XFERINFOFUNCTION, xferinfo_callback);
        curl_easy_setopt(curl.get(), CURLOPT_XFERINFODATA, &observer);
        curl_easy_setopt(curl.get(), CURLOPT_NOPROGRESS, 0L);
    }
    // Large pieces: fewer calls into the write function and the file system per megabyte.
    curl_easy_setopt(curl.get(), CURLOPT_BUFFERSIZE, receiveBufferBytes);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, write_data);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, fp);
    curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 1L);
    // The real service takes two hops (release host, content host); a loop ends here.
    curl_easy_setopt(curl.get(), CURLOPT_MAXREDIRS, mostRedirects);
    // An error page is not an installer: fail before writing its body.
    curl_easy_setopt(curl.get(), CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, downloadConnectTimeoutSeconds);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_LIMIT, stalledBelowBytesPerSecond);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_TIME, stalledForSeconds);
    const CURLcode result = curl_easy_perform(curl.get());
    long status = 0;
    (void)curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    if (result != CURLE_OK) {
        return result;
    }
    // The last piece is flushed here; a full disk shows up now.
    return isSuccessStatus(status) && std::fflush(fp) == 0 ? CURLE_OK : CURLE_WRITE_ERROR;
}

// Downloads the body that apiUrl finally answers with to downloadFilePath. Returns the package
// opened for reading only, with write and delete sharing denied, so that from now until the
// handle closes no program can change, replace or delete it while Windows Installer can still
// read it; no handle when the download did not complete.
//
// The bytes arrive in "<name>.part", which nobody else may write, marked for deletion from the
// start: a launcher that ends early in any way (console closed, logoff, crash, killed) leaves
// nothing behind. Only a complete download is kept and renamed, through the same handle.
// Between closing that handle and opening the read-only one, another program could open the
// file; so its hash is compared with what was written, and a changed package is deleted.
FileHandle downloadInstaller(const std::string& apiUrl, const std::string& downloadFilePath,
                             const DownloadObserver& observer, bool& cancelled)
{
    const std::string partPath = downloadFilePath + ".part";
    HANDLE part = CreateFileA(partPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (part == INVALID_HANDLE_VALUE) {
        return noFile();
    }
    if (!deleteOnClose(part, true)) {
        (void)CloseHandle(part);
        (void)DeleteFileA(partPath.c_str());
        return noFile();
    }
    // From here on, fclose closes the handle too.
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(part), _O_BINARY);
    FILE* fp = descriptor != -1 ? _fdopen(descriptor, "wb") : nullptr;
    if (fp != nullptr) {
        (void)std::setvbuf(fp, nullptr, _IOFBF, fileBufferBytes);
    }
    if (fp == nullptr) {
        if (descriptor != -1) {
            (void)_close(descriptor);
        } else {
            (void)CloseHandle(part);
        }
        return noFile();
    }
    Sha256 written{};
    const CURLcode result = transfer(apiUrl, fp, observer);
    cancelled = result == CURLE_ABORTED_BY_CALLBACK;
    const bool complete = result == CURLE_OK && hashFile(part, written) && deleteOnClose(part, false)
                          && renameOpenFile(part, downloadFilePath);
    if (std::fclose(fp) != 0 || !complete) {
        // Marked for deletion, the partial file is gone already; not when the rename failed.
        (void)DeleteFileA(partPath.c_str());
        (void)DeleteFileA(downloadFilePath.c_str());
        return noFile();
    }
    FileHandle package(CreateFileA(downloadFilePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
                       &CloseHandle);
    Sha256 opened{};
    if (package.get() == INVALID_HANDLE_VALUE || !hashFile(package.get(), opened) || opened != written) {
        package.reset();
        (void)DeleteFileA(downloadFilePath.c_str());
        return noFile();
    }
    return package;
}

// Windows Installer from the system folder, never whatever a search path or the .msi file
// association would find.
std::string msiexecPath()
{
    char folder[MAX_PATH + 1];
    const UINT length = GetSystemDirectoryA(folder, sizeof(folder));
    return length > 0 && length < sizeof(folder) ? std::string(folder, length) + R"(\msiexec.exe)"
                                                 : std::string();
}

// Has Windows Installer install the package, and waits for it however long it takes: the user
// may be answering its dialogs.
bool runInstaller(const std::string& downloadFilePath, unsigned long& exitCode)
{
    const std::string installer = msiexecPath();
    if (installer.empty()) {
        return false;
    }
    const std::string parameters = "/i \"" + downloadFilePath + "\"";
    SHELLEXECUTEINFOA sei{};
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_NOCLOSEPROCESS;
    sei.lpVerb = "open";
    sei.lpFile = installer.c_str();
    sei.lpParameters = parameters.c_str();
    sei.nShow = SW_HIDE;
    if (ShellExecuteExA(&sei) == FALSE || sei.hProcess == nullptr) {
        return false;
    }
    const ProcessHandle process(sei.hProcess, &CloseHandle);
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) {
        return false;
    }
    DWORD code = 0;
    if (GetExitCodeProcess(process.get(), &code) == FALSE) {
        return false;
    }
    exitCode = code;
    return true;
}

bool isDirectory(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The user's temporary folder, with its trailing backslash.
std::string temporaryFolder()
{
    char folder[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof(folder), folder);
    return length > 0 && length < sizeof(folder) ? std::string(folder, length) : std::string();
}

} // namespace

std::size_t write_data(void* ptr, std::size_t size, std::size_t nmemb, void* stream)
{
    return std::fwrite(ptr, size, nmemb, static_cast<FILE*>(stream));
}

std::string installerFileName(const std::string& letterVersion)
{
    return "OPENJDK8U-jre_x86-32_windows_hotspot_" + letterVersion + ".msi";
}

std::string installerDownloadPath(const std::string& userProfile, const std::string& letterVersion)
{
    return userProfile + R"(\Downloads\)" + installerFileName(letterVersion);
}

bool installerSucceeded(unsigned long exitCode)
{
    return exitCode == 0 || exitCode == installedRebootRequired || exitCode == installedRebootStarted;
}

int callJavaAPI(std::string& version, const std::string& apiUrl, const DownloadObserver& observer)
{
    const char* userProfile = std::getenv("USERPROFILE");
    if (userProfile == nullptr || *userProfile == '\0') {
        return 1;
    }
    // The caller passes the probed version, so the file is named after the installer it holds.
    std::string downloadFilePath = installerDownloadPath(userProfile, version);
    if (!isDirectory(downloadFilePath.substr(0, downloadFilePath.rfind('\\')))) {
        // A redirected or deleted Downloads folder: the temporary folder always exists.
        const std::string temporary = temporaryFolder();
        if (temporary.empty()) {
            return 1;
        }
        downloadFilePath = temporary + installerFileName(version);
    }
    unsigned long exitCode = 0;
    bool ran = false;
    bool cancelled = false;
    FileHandle package = downloadInstaller(apiUrl, downloadFilePath, observer, cancelled);
    if (observer.ended != nullptr) {
        observer.ended(observer.context);
    }
    if (cancelled) {
        return installationCancelled;
    }
    if (package) {
        // An unsigned package, or one whose signature does not verify, is never run.
        ran =
            hasTrustedSignature(package.get(), downloadFilePath) && runInstaller(downloadFilePath, exitCode);
        package.reset();
        // The package is not kept: it is deleted once nothing holds it open any more.
        (void)DeleteFileA(downloadFilePath.c_str());
    }
    if (!ran || !installerSucceeded(exitCode)) {
        return 1;
    }
    version = findjavaVersionReg();
    return 0;
}
