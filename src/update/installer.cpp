// Download, installation and clean-up of the runtime installer.
#include "installer.h"

#include "curl_handle.h"
#include "registry/registry.h"

#include <shellapi.h>

#include <cstdlib>
#include <memory>

namespace {

// The installer is tens of megabytes, so there is no limit on the whole transfer: a slow link
// must be able to finish. A transfer that stays below 1 KiB/s for a whole minute has stalled.
constexpr long stalledBelowBytesPerSecond = 1024;
constexpr long stalledForSeconds = 60;
constexpr long downloadConnectTimeoutSeconds = 30;

constexpr unsigned long installedRebootRequired = 3010; // ERROR_SUCCESS_REBOOT_REQUIRED
constexpr unsigned long installedRebootStarted = 1641;  // ERROR_SUCCESS_REBOOT_INITIATED

using ProcessHandle = std::unique_ptr<void, decltype(&CloseHandle)>;

bool isSuccessStatus(long status)
{
    return status >= 200 && status < 300;
}

// Saves the body that apiUrl finally answers with to downloadFilePath, piece by piece as it
// arrives. True only when the whole body arrived and reached the disk.
bool downloadInstaller(const std::string& apiUrl, const std::string& downloadFilePath)
{
    CurlHandle curl = makeCurlHandle();
    if (!curl) {
        return false;
    }
    FILE* fp = std::fopen(downloadFilePath.c_str(), "wb");
    if (fp == nullptr) {
        return false;
    }
    curl_easy_setopt(curl.get(), CURLOPT_URL, apiUrl.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, write_data);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, fp);
    curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 1L);
    // An error page is not an installer: fail before writing its body.
    curl_easy_setopt(curl.get(), CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, downloadConnectTimeoutSeconds);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_LIMIT, stalledBelowBytesPerSecond);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_TIME, stalledForSeconds);
    const CURLcode result = curl_easy_perform(curl.get());
    long status = 0;
    (void)curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    // fclose flushes the last piece; a full disk shows up here.
    const bool written = std::fclose(fp) == 0;
    return result == CURLE_OK && isSuccessStatus(status) && written;
}

// Opens the package with the shell, which hands MSI files to Windows Installer, and waits for
// it however long it takes: the user may be answering its dialogs.
bool runInstaller(const std::string& downloadFilePath, unsigned long& exitCode)
{
    SHELLEXECUTEINFOA sei{};
    sei.cbSize = sizeof(sei);
    sei.fMask = SEE_MASK_NOCLOSEPROCESS;
    sei.lpVerb = "open";
    sei.lpFile = downloadFilePath.c_str();
    sei.nShow = SW_HIDE;
    if (ShellExecuteExA(&sei) == FALSE || sei.hProcess == nullptr) {
        return false;
    }
    const ProcessHandle installer(sei.hProcess, &CloseHandle);
    if (WaitForSingleObject(installer.get(), INFINITE) != WAIT_OBJECT_0) {
        return false;
    }
    DWORD code = 0;
    if (GetExitCodeProcess(installer.get(), &code) == FALSE) {
        return false;
    }
    exitCode = code;
    return true;
}

} // namespace

std::size_t write_data(void* ptr, std::size_t size, std::size_t nmemb, void* stream)
{
    return std::fwrite(ptr, size, nmemb, static_cast<FILE*>(stream));
}

std::string installerDownloadPath(const std::string& userProfile, const std::string& letterVersion)
{
    return userProfile + R"(\Downloads\OPENJDK8U-jre_x86-32_windows_hotspot_)" + letterVersion + ".msi";
}

bool installerSucceeded(unsigned long exitCode)
{
    return exitCode == 0 || exitCode == installedRebootRequired || exitCode == installedRebootStarted;
}

int callJavaAPI(std::string& version, const std::string& apiUrl)
{
    const char* userProfile = std::getenv("USERPROFILE");
    if (userProfile == nullptr || *userProfile == '\0') {
        return 1;
    }
    // The caller passes the probed version, so the file is named after the installer it holds.
    const std::string downloadFilePath = installerDownloadPath(userProfile, version);
    unsigned long exitCode = 0;
    const bool ran = downloadInstaller(apiUrl, downloadFilePath) && runInstaller(downloadFilePath, exitCode);
    // The package is not kept, and a partial download never stays behind to be run later.
    (void)DeleteFileA(downloadFilePath.c_str());
    if (!ran || !installerSucceeded(exitCode)) {
        return 1;
    }
    version = findjavaVersionReg();
    return 0;
}
