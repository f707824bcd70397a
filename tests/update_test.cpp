// Download, installation and clean-up of the runtime installer, and the handles that the
// update stage and the registry readers open.
#include "registry/registry.h"
#include "update/installer.h"
#include "update/release_probe.h"

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
const char* const malformedService = "http://127.0.0.1:0/installer";

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
