// The installation: whose packages run, what Windows Installer's exit codes mean (these also
// run natively under the sanitizers), and on Windows the whole installation with the handles
// it opens.
#ifdef _WIN32
#include <winsock2.h> // libcurl's header needs it before any other Windows header
#endif

#include "installation/install_scope.h"
#include "installation/installation_events.h"
#include "installation/installer_codes.h"
#include "installation/refusal_policy.h"
#include "installation/runtime_in_use.h"
#include "installation/trusted_publisher.h"

#ifdef _WIN32
#include "installation/installer.h"
#include "installation/installer_log.h"
#include "installation/protected_folder.h"
#include "installation/windows_installer.h"
#include "registry/registry.h"
#include "registry/runtime_records.h"
#include "update/part_file.h"
#include "update/release_probe.h"

#include <windows.h>

#include <cstdlib>
#endif

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

TEST(TrustedPublisher, TheRuntimesPublisherOrOneTheAdministratorsAdded)
{
    const std::vector<std::string> added = {"Mirror GmbH"};
    EXPECT_TRUE(isTrustedPublisher("Eclipse.org Foundation, Inc.", {}));
    EXPECT_TRUE(isTrustedPublisher("ECLIPSE.ORG FOUNDATION, INC.", {}));
    EXPECT_TRUE(isTrustedPublisher("mirror gmbh", added));
    for (const char* refused :
         {"", "Eclipse.org Foundation", "Eclipse.org Foundation, Inc. ", "Evil Inc.", "Mirror GmbH"}) {
        EXPECT_FALSE(isTrustedPublisher(refused, {})) << refused;
    }
    // A build that follows a renamed certificate names the new organisation beside the old one.
    const std::vector<std::string> renamed =
        publisherList(std::string(runtimePublisher) + "; Eclipse Foundation AISBL ;;");
    EXPECT_EQ(renamed, (std::vector<std::string>{runtimePublisher, "Eclipse Foundation AISBL"}));
    EXPECT_TRUE(isTrustedPublisher("eclipse foundation aisbl", {}, renamed));
    // A name that no build adds, whatever its KLV_TRUSTED_PUBLISHERS.
    EXPECT_FALSE(isTrustedPublisher("Example Signing Service Ltd.", {}));
    EXPECT_EQ(publisherList(" ; "), std::vector<std::string>{});
}

TEST(RuntimeInUse, AProgramRunsFromTheRuntimeWhenItsImageLiesInTheFolder)
{
    const char* const runtime = R"(C:\Program Files (x86)\Eclipse Adoptium\jre-8.0.472.8-hotspot\)";
    for (const auto& [image, inside] : std::initializer_list<std::pair<const char*, bool>>{
             {R"(C:\Program Files (x86)\Eclipse Adoptium\jre-8.0.472.8-hotspot\bin\javaw.exe)", true},
             {R"(c:\program files (x86)\eclipse adoptium\JRE-8.0.472.8-HOTSPOT\bin\java.exe)", true},
             {R"(C:\Program Files (x86)\Eclipse Adoptium\jre-8.0.472.8-hotspot2\bin\javaw.exe)", false},
             {R"(C:\Program Files (x86)\Eclipse Adoptium\jre-8.0.472.8-hotspot)", false},
             {"", false}}) {
        EXPECT_EQ(isInFolder(image, runtime), inside) << image;
    }
    EXPECT_TRUE(isInFolder(R"(C:\jre\bin\javaw.exe)", R"(C:\jre)")); // a record without its backslash
    EXPECT_FALSE(isInFolder(R"(C:\jre\bin\javaw.exe)", ""));         // no folder holds everything
#ifdef _WIN32
    // A record that could not be read tells nothing of the runtime: neither used nor unused.
    EXPECT_EQ(findRuntimeInUse("").state, RuntimeUse::State::unknown);
#endif
}

TEST(InstallerExitCode, EachCodeHasOneOutcome)
{
    const struct {
        unsigned long code;
        UpdateOutcome outcome;
    } cases[] =
        {
            {0, UpdateOutcome::installed},
            {3010, UpdateOutcome::installed}, // ERROR_SUCCESS_REBOOT_REQUIRED
            {1641, UpdateOutcome::installed}, // ERROR_SUCCESS_REBOOT_INITIATED
            {1602, UpdateOutcome::declined},  // the user cancelled Windows Installer
            {1223, UpdateOutcome::declined},  // ERROR_CANCELLED: the prompt for elevation
            {1618, UpdateOutcome::installerBusy},
            {1625, UpdateOutcome::failed}, // refused by the machine's policy
            {1603, UpdateOutcome::failed},
            {1, UpdateOutcome::failed},
            {1620, UpdateOutcome::failed},
            {1627, UpdateOutcome::failed},
            {3011, UpdateOutcome::failed},
            {259, UpdateOutcome::failed},
        };
    for (const auto& row : cases) {
        EXPECT_EQ(outcomeOfExitCode(row.code), row.outcome) << row.code;
        EXPECT_EQ(installerSucceeded(row.code), row.outcome == UpdateOutcome::installed) << row.code;
        // Only Windows Installer's own failures count against a version.
        EXPECT_EQ(countsAsFailedInstallation({row.outcome, "", true, row.code}),
                  row.outcome == UpdateOutcome::failed)
            << row.code;
    }
    // A package refused for what it is would be refused again: it counts. A refusal that the way
    // it came or this machine caused does not; nor does what never reached Windows Installer.
    const std::string signer = "Other Signing Corp";
    const struct {
        const char* row;
        std::optional<UpdateResult> refusal;
        const char* why; // nullptr: not refused
        bool counts;
        const char* named; // the signer the refusal names
    } refusals[] = {
        {"a signer not trusted", signatureRefusal(true, signer, false), "publisher", true,
         "Other Signing Corp"},
        // No signature, a file cut short, a root or a clock not trusted, wintrust.dll not loaded:
        // the certificate's name is whatever its maker wrote.
        {"not verified", signatureRefusal(false, "Eclipse.org Foundation, Inc.", false), "signature", false,
         ""},
        {"verified, the signer unread", signatureRefusal(true, "", false), "signature", false, ""},
        {"a trusted signer", signatureRefusal(true, signer, true), nullptr, false, ""},
        {"another version", packageVersionRefusal("8.0.422.5", false, true), "package version", true, ""},
        {"no version read", packageVersionRefusal("", false, true), "package version unreadable", true, ""},
        {"msi.dll not loaded", packageVersionRefusal("", false, false), "package version unreadable", false,
         ""},
        {"the offered version", packageVersionRefusal("8.0.472.8", true, true), nullptr, false, ""},
    };
    for (const auto& row : refusals) {
        ASSERT_EQ(row.refusal.has_value(), row.why != nullptr) << row.row;
        if (row.refusal) {
            EXPECT_EQ(row.refusal->outcome, UpdateOutcome::refused) << row.row;
            EXPECT_STREQ(row.refusal->why, row.why) << row.row;
            EXPECT_EQ(countsAsFailedInstallation(*row.refusal), row.counts) << row.row;
            EXPECT_EQ(failedWithoutThePackagesFault(*row.refusal), !row.counts) << row.row;
            EXPECT_EQ(row.refusal->signer, row.named) << row.row;
        }
    }
    EXPECT_TRUE(failedWithoutThePackagesFault({UpdateOutcome::failed, "download", false, 0}));
    for (const UpdateOutcome outcome : {UpdateOutcome::cancelled, UpdateOutcome::declined,
                                        UpdateOutcome::installerBusy, UpdateOutcome::runtimeInUse}) {
        EXPECT_FALSE(failedWithoutThePackagesFault({outcome, "", false, 0})) << outcomeName(outcome);
    }
    // Only an OLE compound file can be a Windows Installer package.
    for (const auto& [start, package] : std::initializer_list<std::pair<std::string, bool>>{
             {std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), true},
             {std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\x00\x00", 10), true},
             {std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A", 7), false},
             {"<!DOCTYPE html>", false},
             {"", false}}) {
        EXPECT_EQ(isWindowsInstallerPackage(start), package) << start.size();
    }
    EXPECT_FALSE(countsAsFailedInstallation({UpdateOutcome::failed, "download", false, 0}));
    EXPECT_FALSE(countsAsFailedInstallation({UpdateOutcome::installerBusy, "gave up waiting", false, 0}));
    EXPECT_FALSE(countsAsFailedInstallation({UpdateOutcome::runtimeInUse, "runtime in use", false, 0}));
    EXPECT_STREQ(installerExitMeaning(1618), "another installation is in progress");
    EXPECT_STREQ(installerExitMeaning(12345), "failed");
}

TEST(RefusalPolicy, AVersionIsWithdrawnAfterTwoFailedInstallationsOrRestsADayAfterThreeFailedAttempts)
{
    constexpr long long now = 1796800000;
    constexpr long long day = 24 * 3600;
    const std::string v = "8u482b08";
    // The record (version, failed installations, last exit code, failed attempts, the last one's
    // time) and whether a runtime is installed.
    const struct {
        const char* row;
        FailedInstallations record;
        bool runtime;
        bool withdrawn;
    } cases[] = {
        {"nothing", {}, true, false},
        {"one failed installation", {v, 1, 1603}, true, false},
        {"two", {v, 2, 1603}, true, true},
        {"two, no runtime", {v, 2, 1603}, false, false},
        {"two of another version", {"8u472b08", 2, 1603}, true, false},
        {"two failed attempts", {v, 0, 0, 2, now - 60}, true, false},
        {"three", {v, 0, 0, 3, now - 60}, true, true},
        {"three, no runtime", {v, 0, 0, 3, now - 60}, false, false},
        {"three, almost a day ago", {v, 0, 0, 3, now - day + 1}, true, true},
        {"three, a day ago", {v, 0, 0, 3, now - day}, true, false},
        {"three, ahead of the clock", {v, 0, 0, 3, now + 60}, true, false},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(versionWithdrawn(row.record, v, row.runtime, now), row.withdrawn) << row.row;
    }
}

TEST(InstallScope, TheMachineUnlessTheUserCannotBecomeAnAdministratorOrPolicyOrUpgradeSaysOtherwise)
{
    using P = ScopePolicy;
    constexpr RuntimeScope machine = RuntimeScope::machine;
    constexpr RuntimeScope user = RuntimeScope::user;
    // Elevated, the policy, the user's runtime starts today, a split token, in Administrators.
    const struct {
        const char* row;
        ScopeFacts facts;
        RuntimeScope scope;
        const char* reason;
    } cases[] = {
        {"a standard user", {false, P::none, false, false, false}, user, "standard-user"},
        {"an administrator, UAC on", {false, P::none, false, true, false}, machine, "administrator"},
        {"an administrator, UAC off", {false, P::none, false, false, true}, machine, "administrator"},
        {"elevated", {true, P::none, false, true, true}, machine, "elevated"},
        {"elevated, not an administrator", {true, P::user, true, true, false}, machine, "elevated"},
        {"policy machine, a standard user", {false, P::machine, true, false, false}, machine, "policy"},
        {"policy user, an administrator", {false, P::user, false, true, false}, user, "policy"},
        {"policy ignored, a standard user", {false, P::ignored, false, false, false}, user, "standard-user"},
        {"the user's runtime, an administrator",
         {false, P::none, true, true, false},
         user,
         "upgrade-of-user-runtime"},
        {"the user's runtime, policy machine", {false, P::machine, true, true, false}, machine, "policy"},
    };
    for (const auto& row : cases) {
        const ScopeDecision decision = decideInstallScope(row.facts);
        EXPECT_EQ(decision.scope, row.scope) << row.row;
        EXPECT_STREQ(decision.reason, row.reason) << row.row;
    }
    using Policy = std::tuple<const char*, bool, P>;
    for (const auto& [value, named, policy] :
         {Policy{"machine", true, P::machine}, Policy{"USER", true, P::user}, Policy{"", false, P::none},
          Policy{"", true, P::ignored}, Policy{" user", true, P::ignored}}) {
        EXPECT_EQ(scopePolicyOf(value, named), policy) << value << named;
    }
    // Windows Installer's command line: the user's installation adds both properties.
    const std::string package = R"(C:\Users\Ann\Downloads\OpenJDK8U-jre_x64_windows_hotspot_8u492b09.msi)";
    const std::string base =
        "/i \"" + package + "\" REBOOT=ReallySuppress MSIRESTARTMANAGERCONTROL=DisableShutdown";
    const std::string log = R"(C:\Users\Ann\AppData\Local\Marveth\KLV\msiexec-8u492b09.log)";
    EXPECT_EQ(installerParameters(package, "", machine), base);
    EXPECT_EQ(installerParameters(package, log, machine), base + " /l*v \"" + log + "\"");
    EXPECT_EQ(installerParameters(package, log, user),
              base + " ALLUSERS=2 MSIINSTALLPERUSER=1 /l*v \"" + log + "\"");
}

TEST(InstallationEvents, WhatWentWrongAndWhatWasInstalledReachTheEventLog)
{
    using Strings = std::vector<std::string>;
    const std::string v = "8u482b08";
    UpdateResult failed{UpdateOutcome::failed, "installer", true, 1603};
    failed.installerLog = R"(C:\Users\ana\AppData\Local\Marveth\KLV\msiexec-8u482b08.log)";
    const Strings kept = {v, "1603", "msiexec-8u482b08.log"};
    const UpdateResult publisher = *signatureRefusal(true, "Other Signing Corp", false);
    const Strings refused = {v, "publisher", "Other Signing Corp"};
    // The facts: the result, the version offered and read back, the user's, the count, a runtime before.
    const struct {
        const char* row;
        InstallationFacts facts;
        std::vector<unsigned long> ids;
        Strings first; // the first event's strings
    } cases[] = {
        {"installed", {{UpdateOutcome::installed, ""}, v, v}, {1000}, {v, "machine"}},
        {"installed, the user's read back",
         {{UpdateOutcome::installed, ""}, v, "8u492b09", true},
         {1000},
         {"8u492b09", "user"}},
        {"a signer not trusted", {publisher, v, "", false, 1, true}, {1001}, refused},
        {"no signature", {*signatureRefusal(false, "", false), v}, {1001}, {v, "signature", "none"}},
        {"Windows Installer failed", {failed, v, "", false, 1, true}, {1002}, kept},
        {"failed again: withdrawn", {failed, v, "", false, 2, true}, {1002, 1003}, kept},
        {"refused again: withdrawn", {publisher, v, "", false, 2, true}, {1001, 1003}, refused},
        {"failed again, no runtime before", {failed, v, "", false, 2, false}, {1002}, kept},
        {"a failed download", {{UpdateOutcome::failed, "download"}, v}, {}, {}},
        {"No to Windows Installer", {{UpdateOutcome::declined, "", true, 1602}, v}, {}, {}},
        {"Windows Installer busy", {{UpdateOutcome::installerBusy, "", true, 1618}, v}, {}, {}},
    };
    const std::map<unsigned long, EventType> types = {{1000, EventType::information},
                                                      {1001, EventType::warning},
                                                      {1002, EventType::error},
                                                      {1003, EventType::warning}};
    for (const auto& row : cases) {
        const std::vector<LauncherEvent> events = installationEvents(row.facts);
        ASSERT_EQ(events.size(), row.ids.size()) << row.row;
        for (std::size_t at = 0; at < events.size(); ++at) {
            EXPECT_EQ(events[at].id, row.ids[at]) << row.row;
            EXPECT_EQ(events[at].type, types.at(row.ids[at])) << row.row;
        }
        EXPECT_EQ(events.empty() ? Strings{} : events[0].strings, row.first) << row.row;
    }
    EXPECT_EQ(installationEvents({failed, v, "", false, 2, true})[1].strings, (Strings{v, "2"}));
}

#ifdef _WIN32
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

TEST(InstallerChecks, OnlyThePackageOfTheOfferedVersionIsRun)
{
    EXPECT_TRUE(packageIsVersion("8.0.432.6", "8u432b06"));
    EXPECT_TRUE(packageIsVersion("8.0.432.6", "8u432b6"));
    for (const char* other : {"8.0.422.5", "8.432.6", "8.0.432.6.0", "", "8.0.432.60"}) {
        EXPECT_FALSE(packageIsVersion(other, "8u432b06")) << other;
    }
    EXPECT_FALSE(packageIsVersion("", ""));
    EXPECT_EQ(installerLogPath("", "8u432b06"), "");
    keepNewestInstallerLogs("", 0); // without a log folder there is nothing to delete
}

TEST(CallJavaApi, WithoutAUserProfileNothingIsInstalled)
{
    ASSERT_EQ(_putenv("USERPROFILE="), 0); // an empty value removes the variable
    std::string version = "8u432b06";
    EXPECT_EQ(callJavaAPI(version, "http://127.0.0.1:1/unused").outcome, UpdateOutcome::failed);
    EXPECT_EQ(version, "8u432b06");
}

TEST(CallJavaApi, AFailedDownloadLeavesNoFileBehind)
{
    const ScratchProfile profile;
    std::string version = "8u432b06";
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(callJavaAPI(version, refusingService).outcome, UpdateOutcome::failed);
    // A refused connection is tried three more times, after 1, 2 and 4 seconds.
    EXPECT_GE(GetTickCount64() - started, 7000U);
    EXPECT_EQ(version, "8u432b06");
    EXPECT_EQ(GetFileAttributesA(installerDownloadPath(profile.path, version).c_str()),
              INVALID_FILE_ATTRIBUTES);
}

TEST(WindowsInstaller, TheBoundOnWaitingForItsTurnCountsOnlyTheWaits)
{
    using std::chrono::milliseconds;
    using std::chrono::minutes;
    for (const auto& [waited, left] :
         std::initializer_list<std::pair<milliseconds, milliseconds>>{{milliseconds(0), minutes(10)},
                                                                      {minutes(9), minutes(1)},
                                                                      {minutes(10), milliseconds(0)},
                                                                      {minutes(25), milliseconds(0)}}) {
        EXPECT_EQ(turnWaitLeft(waited).count(), left.count()) << waited.count();
    }
}

TEST(ProtectedFolder, IsTheAdministratorsOrHighAboveTheUsersUnelevatedPrograms)
{
    // An elevated launcher that is no administrator: its own folder, labelled High, no write-up.
    // (Wine stores no descriptor on disk; what it can show is that the folder is made with it.)
    const SecurityDescriptor labelled = protectedFolderSecurity(false);
    ASSERT_TRUE(labelled);
    BOOL present = FALSE;
    BOOL defaulted = TRUE;
    PACL sacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorSacl(labelled.get(), &present, &sacl, &defaulted));
    ASSERT_TRUE(present && sacl != nullptr);
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(sacl, 0, &ace));
    const auto* label = static_cast<const SYSTEM_MANDATORY_LABEL_ACE*>(ace);
    EXPECT_EQ(label->Header.AceType, SYSTEM_MANDATORY_LABEL_ACE_TYPE);
    EXPECT_EQ(label->Mask, static_cast<ACCESS_MASK>(SYSTEM_MANDATORY_LABEL_NO_WRITE_UP));
    EXPECT_EQ(*GetSidSubAuthority(const_cast<DWORD*>(&label->SidStart), 0),
              static_cast<DWORD>(SECURITY_MANDATORY_HIGH_RID));
    const std::string folder = createProtectedFolder(false);
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(RemoveDirectoryA(folder.c_str()));

    const SecurityDescriptor descriptor = protectedFolderSecurity(true);
    ASSERT_TRUE(descriptor);
    PSID owner = nullptr;
    defaulted = TRUE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted));
    ASSERT_NE(owner, nullptr);
    EXPECT_FALSE(defaulted);
    unsigned char administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(administrators);
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size));
    EXPECT_TRUE(EqualSid(owner, administrators));
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
        EXPECT_EQ(findjavaVersionReg(false), "8u432b06");
        EXPECT_EQ(queryRegistry(record, "Path", HKEY_LOCAL_MACHINE), "C:\\jre\\");
        (void)queryRegistry(record, "Missing", HKEY_LOCAL_MACHINE);
        (void)queryRegistry(R"(SOFTWARE\NoSuchKey)", "Path", HKEY_LOCAL_MACHINE);
        unsigned long number = 0;
        (void)queryRegistryNumber(record, "Path", HKEY_LOCAL_MACHINE, number);
        std::string probed;
        ProxyChoice proxy;
        EXPECT_FALSE(getURLVersion(refusingService, "8u432b06", probed, proxy, startProbeBudget().answered));
        std::string version = "8u432b06";
        EXPECT_EQ(callJavaAPI(version, malformedService).outcome, UpdateOutcome::failed);
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
#endif
