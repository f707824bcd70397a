// Download, installation and clean-up of the runtime installer, and the handles that the
// update stage and the registry readers open.
#include <winsock2.h> // libcurl's header needs it before any other Windows header

#include "registry/registry.h"
#include "update/installer.h"
#include "update/part_file.h"
#include "update/release_probe.h"
#include "update/transfer_result.h"

#include <curl/curl.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A profile folder with a Downloads folder below the temporary folder, named in USERPROFILE
// for as long as it lives.
struct ScratchProfile {
    std::string path;
    ScratchProfile()
    {
        char temp[MAX_PATH];
        EXPECT_GT(GetTempPathA(MAX_PATH, temp), 0U);
        path = std::string(temp) + "klv-update-test";
        CreateDirectoryA(path.c_str(), nullptr);
        CreateDirectoryA((path + "\\Downloads").c_str(), nullptr);
        EXPECT_EQ(_putenv_s("USERPROFILE", path.c_str()), 0);
    }
    ~ScratchProfile()
    {
        EXPECT_TRUE(RemoveDirectoryA((path + "\\Downloads").c_str()));
        EXPECT_TRUE(RemoveDirectoryA(path.c_str()));
    }
};

// The value the next handle of this process gets. Closed handles free their slot for the next
// one, so this only grows while handles stay open. (GetProcessHandleCount is always 0 under
// Wine, so it cannot tell.)
HANDLE nextHandleValue()
{
    HANDLE probe = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_NE(probe, nullptr);
    CloseHandle(probe);
    return probe;
}

// Nothing listens on port 1 of the loopback interface: every connection is refused.
const char* const refusingService = "http://127.0.0.1:1/installer";
// A URL that libcurl refuses before it connects: a failure that is not worth a retry.
const char* const malformedService = "http://127.0.0.1:99999/installer";

} // namespace

TEST(InstallerDownload, IsSavedUnderTheFixedNameInTheUsersDownloads)
{
    EXPECT_EQ(installerDownloadPath(R"(C:\users\ada)", "8u432b06"),
              R"(C:\users\ada\Downloads\OPENJDK8U-jre_x86-32_windows_hotspot_8u432b06.msi)");
}

TEST(InstallerDownload, WriteDataReportsWhatReachedTheFile)
{
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    char piece[] = "MSI-bytes";
    EXPECT_EQ(write_data(piece, 1, 9, file), 9U);
    EXPECT_EQ(std::ftell(file), 9L);
    std::fclose(file);

    // A stream that cannot be written gives a short count, which stops the transfer.
    FILE* readOnly = std::fopen("NUL", "rb");
    ASSERT_NE(readOnly, nullptr);
    EXPECT_EQ(write_data(piece, 1, 9, readOnly), 0U);
    std::fclose(readOnly);
}

TEST(InstallerExitCode, SuccessIncludesTheRestartCodes)
{
    EXPECT_TRUE(installerSucceeded(0));
    EXPECT_TRUE(installerSucceeded(3010)); // ERROR_SUCCESS_REBOOT_REQUIRED
    EXPECT_TRUE(installerSucceeded(1641)); // ERROR_SUCCESS_REBOOT_INITIATED
    for (unsigned long failure : {1UL, 1602UL /* user cancelled */, 1603UL /* fatal error */,
                                  1618UL /* another installation runs */, 1620UL, 1627UL, 3011UL, 259UL}) {
        EXPECT_FALSE(installerSucceeded(failure)) << failure;
    }
}

TEST(TransferResult, WhatIsRetriedAndWhatIsWorthAProxyDetection)
{
    const struct {
        CURLcode code;
        long status;
        long long received;
        bool retried;
        bool unreachable;
        const char* text;
    } cases[] = {
        {CURLE_COULDNT_CONNECT, 0, 0, true, true, "could not connect"},
        {CURLE_COULDNT_RESOLVE_HOST, 0, 0, false, true, "could not resolve the host"},
        {CURLE_OPERATION_TIMEDOUT, 0, 0, true, true, "timed out"},
        {CURLE_OPERATION_TIMEDOUT, 200, 120, true, false, "timed out"},
        {CURLE_RECV_ERROR, 0, 0, true, false, "connection lost"},
        {CURLE_PARTIAL_FILE, 200, 9, true, false, "body cut short"},
        {CURLE_GOT_NOTHING, 0, 0, true, false, "empty answer"},
        {CURLE_HTTP_RETURNED_ERROR, 503, 9, true, false, "HTTP error status"},
        {CURLE_HTTP_RETURNED_ERROR, 429, 9, true, false, "HTTP error status"},
        {CURLE_HTTP_RETURNED_ERROR, 408, 9, true, false, "HTTP error status"},
        {CURLE_HTTP_RETURNED_ERROR, 404, 9, false, false, "HTTP error status"},
        {CURLE_HTTP_RETURNED_ERROR, 403, 9, false, false, "HTTP error status"},
        {CURLE_SSL_CONNECT_ERROR, 0, 0, false, false, "TLS handshake failed"},
        {CURLE_PEER_FAILED_VERIFICATION, 0, 0, false, false, "certificate not trusted"},
        {CURLE_ABORTED_BY_CALLBACK, 200, 9, false, false, "cancelled"},
        {CURLE_TOO_MANY_REDIRECTS, 302, 9, false, false, "too many redirects"},
        {CURLE_WRITE_ERROR, 200, 9, false, false, "could not write the file"},
        {CURLE_PROXY, 0, 0, false, false, "proxy refused"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(isTransientFailure(row.code, row.status), row.retried) << row.code << " " << row.status;
        EXPECT_EQ(isUnreachable(row.code, row.received), row.unreachable) << row.code;
        EXPECT_STREQ(transferResultText(row.code), row.text) << row.code;
    }
    for (const auto& [value, seconds] :
         std::initializer_list<std::pair<const char*, long>>{{"5", 5},
                                                             {" 12\r\n", 12},
                                                             {"0", 0},
                                                             {"3600", 30},
                                                             {"", -1},
                                                             {"-1", -1},
                                                             {"1.5", -1},
                                                             {"Wed, 21 Oct 2026 07:28:00 GMT", -1},
                                                             {"99999999999999999999", -1}}) {
        EXPECT_EQ(retryAfterSeconds(value, 30), seconds) << value;
    }
}

TEST(InstallerChecks, OnlyThePackageOfTheOfferedVersionIsRun)
{
    EXPECT_TRUE(packageIsVersion("8.0.432.6", "8u432b06"));
    EXPECT_TRUE(packageIsVersion("8.0.432.6", "8u432b6"));
    for (const char* other : {"8.0.422.5", "8.432.6", "8.0.432.6.0", "", "8.0.432.60"}) {
        EXPECT_FALSE(packageIsVersion(other, "8u432b06")) << other;
    }
    EXPECT_FALSE(packageIsVersion("", ""));
    EXPECT_STREQ(installerExitMeaning(1618), "another installation is in progress");
    EXPECT_STREQ(installerExitMeaning(12345), "failed");
}

TEST(CallJavaApi, WithoutAUserProfileNothingIsInstalled)
{
    ASSERT_EQ(_putenv("USERPROFILE="), 0); // an empty value removes the variable
    std::string version = "8u432b06";
    EXPECT_EQ(callJavaAPI(version, "http://127.0.0.1:1/unused"), 1);
    EXPECT_EQ(version, "8u432b06");
}

TEST(CallJavaApi, AFailedDownloadLeavesNoFileBehind)
{
    const ScratchProfile profile;
    std::string version = "8u432b06";
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(callJavaAPI(version, refusingService), 1);
    // A refused connection is tried three more times, after 1, 2 and 4 seconds.
    EXPECT_GE(GetTickCount64() - started, 7000U);
    EXPECT_EQ(version, "8u432b06");
    EXPECT_EQ(GetFileAttributesA(installerDownloadPath(profile.path, version).c_str()),
              INVALID_FILE_ATTRIBUTES);
}

TEST(Handles, TheUpdateStageAndTheReadersReleaseEverythingTheyOpen)
{
    const ScratchProfile profile;
    const std::string record = R"(SOFTWARE\WOW6432Node\Eclipse Adoptium\JRE\8.0.432.6\hotspot\MSI)";
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, record.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\jre\\"), 8),
              ERROR_SUCCESS);
    RegCloseKey(key);
    const auto oneRound = [&record] {
        EXPECT_EQ(findjavaVersionReg(), "8u432b06");
        EXPECT_EQ(queryRegistry(record, "Path", HKEY_LOCAL_MACHINE), "C:\\jre\\");
        (void)queryRegistry(record, "Missing", HKEY_LOCAL_MACHINE);
        (void)queryRegistry(R"(SOFTWARE\NoSuchKey)", "Path", HKEY_LOCAL_MACHINE);
        unsigned long number = 0;
        (void)queryRegistryNumber(record, "Path", HKEY_LOCAL_MACHINE, number);
        std::string probed;
        EXPECT_FALSE(getURLVersion(refusingService, "8u432b06", probed));
        std::string version = "8u432b06";
        EXPECT_EQ(callJavaAPI(version, malformedService), 1);
    };
    // The first round lets the platform create what it keeps for the process (sockets' DLLs,
    // the registry's root handles), so only what a round leaves behind is counted.
    oneRound();
    const HANDLE before = nextHandleValue();
    for (int round = 0; round < 20; ++round) {
        oneRound();
    }
    EXPECT_EQ(nextHandleValue(), before);
    (void)RegDeleteTreeA(HKEY_LOCAL_MACHINE, R"(SOFTWARE\WOW6432Node\Eclipse Adoptium)");
}
