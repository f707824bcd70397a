// The launcher's log: what a line looks like, where it goes, and that nothing stops the
// launcher when it cannot be written.
#include "diagnostics/log.h"
#include "diagnostics/log_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string scratchFolder()
{
    char temp[MAX_PATH];
    EXPECT_GT(GetTempPathA(MAX_PATH, temp), 0U);
    const std::string folder = std::string(temp) + "klv-log-test";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::string contents(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

TEST(LauncherLog, LinesAreOneLineEachWhateverTheirValues)
{
    EXPECT_EQ(logLine("T", 7, "probe", {{"host", "api.adoptium.net"}, {"status", "307"}}),
              "T pid=7 probe host=api.adoptium.net status=307\r\n");
    EXPECT_EQ(logLine("T", 7, "e", {{"folder", R"(C:\Program Files\KLV)"}, {"empty", ""}}),
              "T pid=7 e folder=\"C:\\Program Files\\KLV\" empty=\"\"\r\n");
    EXPECT_EQ(logValue(std::string("a\r\nb\0c\"d", 8)), R"(a\x0D\x0Ab\x00c\x22d)");
    EXPECT_EQ(logValue(R"(C:\xyz)"), R"(C:\x5Cxyz)");
    // Text inside a value never reads as a field of its own.
    EXPECT_EQ(logLine("T", 7, "signature", {{"signer", "x verdict=accepted"}, {"verdict", "refused"}}),
              "T pid=7 signature signer=\"x verdict\\x3Daccepted\" verdict=refused\r\n");
    EXPECT_EQ(logValue(R"(a="b")"), R"(a\x3D\x22b\x22)");
    EXPECT_EQ(isoTimestamp(2026, 12, 8, 7, 5, 3, 9, 60), "2026-12-08T07:05:03.009+01:00");
    EXPECT_EQ(isoTimestamp(2026, 1, 2, 23, 59, 59, 999, -210), "2026-01-02T23:59:59.999-03:30");
}

TEST(LauncherLog, IsMovedAsideOncePastTheLimitAndNeverStandsInTheWay)
{
    const std::string folder = scratchFolder();
    const std::string log = folder + R"(\klv-launcher.log)";
    (void)DeleteFileA((log + ".1").c_str());
    {
        std::ofstream big(log, std::ios::binary | std::ios::trunc);
        big << std::string(launcherLogLimitBytes, 'x');
    }
    // At the limit the log stays; one byte past it, it is moved aside at the next start.
    ASSERT_TRUE(openLauncherLog(folder, true));
    logEvent("first");
    EXPECT_EQ(GetFileAttributesA((log + ".1").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(openLauncherLog(folder, true));
    logEvent("second", {{"value", "a\nb"}});
    closeLauncherLog();
    EXPECT_GT(contents(log + ".1").size(), launcherLogLimitBytes);
    const std::string fresh = contents(log);
    EXPECT_NE(fresh.find(" second value=a\\x0Ab\r\n"), std::string::npos) << fresh;
    EXPECT_EQ(fresh.find('\n'), fresh.size() - 1);

    // A second name of another file (a hard link) planted as the log, a folder that does not
    // exist, and no folder at all: no log, every event is dropped quietly, and nothing is written
    // through the link. Then a folder where the file should be: no log either.
    const std::string other = folder + R"(\other.txt)";
    std::ofstream(other, std::ios::binary | std::ios::trunc) << "other";
    ASSERT_TRUE(DeleteFileA(log.c_str()) && CreateHardLinkA(log.c_str(), other.c_str(), nullptr));
    for (const std::string& unwritable : {folder, folder + R"(\missing\deeper)", std::string()}) {
        for (const bool holdFolders : {true, false}) {
            EXPECT_FALSE(openLauncherLog(unwritable, holdFolders)) << unwritable;
            logEvent("dropped");
        }
    }
    EXPECT_EQ(contents(other), "other");
    ASSERT_TRUE(DeleteFileA(log.c_str()) && DeleteFileA(other.c_str())
                && CreateDirectoryA(log.c_str(), nullptr));
    EXPECT_FALSE(openLauncherLog(folder, true));
    EXPECT_TRUE(RemoveDirectoryA(log.c_str()));
    (void)DeleteFileA((log + ".1").c_str());

    // The user's own folder comes from the system: an environment that names another (which the
    // user controls for an elevated launcher too) changes nothing.
    const std::string system = launcherLogFolder();
    EXPECT_NE(system.find(R"(\AppData\Local\Marveth\KLV)"), std::string::npos) << system;
    ASSERT_TRUE(SetEnvironmentVariableA("LOCALAPPDATA", folder.c_str()));
    ASSERT_EQ(_putenv_s("LOCALAPPDATA", folder.c_str()), 0);
    EXPECT_EQ(launcherLogFolder(), system);
}
