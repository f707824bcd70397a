// Header collection and version extraction of the release probe.
#include "update/header_version.h"
#include "update/installer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include <cstdio>
#include <string>

namespace {

// Feeds each line through the header function as libcurl does, one line a call.
std::string collect(std::initializer_list<std::string> lines)
{
    std::string headerBuffer;
    for (std::string line : lines) {
        const std::size_t taken = header_callback(line.data(), 1, line.size(), &headerBuffer);
        EXPECT_EQ(taken, line.size());
    }
    return headerBuffer;
}

} // namespace

TEST(HeaderCallback, KeepsEveryLineInOrderWithItsLineEnd)
{
    const std::string headers =
        collect({"HTTP/1.1 307 Temporary Redirect\r\n", "Location: /a_8u432b06.msi\r\n", "\r\n"});
    EXPECT_EQ(headers, "HTTP/1.1 307 Temporary Redirect\r\nLocation: /a_8u432b06.msi\r\n\r\n");
}

TEST(HeaderCallback, StopsAPeerThatSendsHeadersWithoutEnd)
{
    std::string headerBuffer;
    std::string line(1000, 'x');
    std::size_t lines = 0;
    while (header_callback(line.data(), 1, line.size(), &headerBuffer) == line.size()) {
        ASSERT_LT(++lines, 1000U);
    }
    EXPECT_LE(headerBuffer.size(), maxHeaderBytes);
    EXPECT_GE(headerBuffer.size(), maxHeaderBytes - line.size());
}

TEST(VersionFromHeaders, TakesTheVersionOutOfTheRedirectedInstallerName)
{
    const std::string headers =
        collect({"HTTP/2 307\r\n", "content-type: text/plain\r\n",
                 "location: https://github.com/adoptium/temurin8-binaries/releases/download/"
                 "jdk8u432-b06/OpenJDK8U-jre_x86-32_windows_hotspot_8u432b06.msi\r\n",
                 "date: Tue, 08 Dec 2026 01:00:00 GMT\r\n", "\r\n"});
    EXPECT_EQ(versionFromHeaders(headers), "8u432b06");
}

TEST(VersionFromHeaders, TheLastInstallerNameCounts)
{
    EXPECT_EQ(versionFromHeaders("link: a_8u422b05.msi\r\nlocation: b_8u432b06.msi\r\n\r\n"), "8u432b06");
    EXPECT_EQ(versionFromHeaders("location: x_8u292b10.msi?download=1\r\n"), "8u292b10");
}

TEST(VersionFromHeaders, NoResponseMeansNoVersion)
{
    EXPECT_EQ(versionFromHeaders(""), "");
}

TEST(VersionFromHeaders, TextThatIsNotAPlainVersionIsRefused)
{
    // Without ".msi" the cut runs from the last "_" to the end of all headers.
    EXPECT_EQ(versionFromHeaders("HTTP/1.1 200 OK\r\nx-trace_id: 8u432b06\r\n\r\n"), "");
    // Without "_" the cut runs from the start of the headers.
    EXPECT_EQ(versionFromHeaders("location: /8u432b06.msi\r\n"), "");
    for (const char* hostile : {"location: /a_..\\..\\Windows\\evil.msi\r\n", "location: /a_../../x.msi\r\n",
                                "location: /a_8u432b06\\..\\..\\x.msi\r\n", "location: /a_8u432b06 x.msi\r\n",
                                "location: /a_8u432b06\r\nx: y.msi\r\n", "location: /a_8U432B06.msi\r\n",
                                "location: /a_8u432b06-evil.msi\r\n", "location: /a_.msi\r\n"}) {
        EXPECT_EQ(versionFromHeaders(hostile), "") << hostile;
    }
}

TEST(VersionFromHeaders, AVeryLongVersionIsRefused)
{
    EXPECT_EQ(versionFromHeaders("location: /a_8u" + std::string(400, '1') + "b06.msi\r\n"), "");
}

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
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0U);
    const std::string profile = std::string(temp) + "klv-update-test";
    CreateDirectoryA(profile.c_str(), nullptr);
    CreateDirectoryA((profile + "\\Downloads").c_str(), nullptr);
    ASSERT_EQ(_putenv_s("USERPROFILE", profile.c_str()), 0);

    std::string version = "8u432b06";
    // Nothing listens on port 1 of the loopback interface: the connection is refused.
    EXPECT_EQ(callJavaAPI(version, "http://127.0.0.1:1/installer"), 1);
    EXPECT_EQ(version, "8u432b06");
    EXPECT_EQ(GetFileAttributesA(installerDownloadPath(profile, version).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(RemoveDirectoryA((profile + "\\Downloads").c_str()));
    EXPECT_TRUE(RemoveDirectoryA(profile.c_str()));
}
