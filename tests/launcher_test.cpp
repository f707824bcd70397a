// The elevation test, and the sizes and values of the platform records and flags that the
// launcher fills by name.
#include "diagnostics/event_catalog.h"
#include "launcher/launcher.h"
#include "launcher/policy.h"
#include "launcher/start_deadline.h"
#include "launcher/update_lock.h"
#include "platform/late_libraries.h"
#include "platform/launch_paths.h"

#include <windows.h>

#include <delayimp.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "klv-events.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <utility>

namespace {

bool tokenIsElevated()
{
    HANDLE token = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    EXPECT_TRUE(GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size));
    CloseHandle(token);
    return elevation.TokenIsElevated != 0;
}

} // namespace

TEST(Elevation, FollowsTheEffectiveToken)
{
    // Wine gives every process an elevated administrator token, so both are true there.
    EXPECT_EQ(IsRunAsAdmin(), tokenIsElevated());
    EXPECT_TRUE(IsRunAsAdmin());
}

// Under Wine a restricted copy of the process's (full) token still reports TokenIsElevated, as a
// Backup Operator's elevated token does on Windows; a restricted copy of its linked token does
// not, as an administrator's unelevated token. The thread impersonates each in turn.
TEST(Elevation, AnAdministratorOrAnElevatedTokenIsElevated)
{
    HANDLE processToken = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &processToken));
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(processToken, TokenLinkedToken, &linked, sizeof(linked), &size));
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(administrators);
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize));
    SID_AND_ATTRIBUTES denyOnly{administrators, 0};
    // Neither is an administrator: the first is elevated, the second is not.
    for (const auto& [from, elevated] :
         {std::make_pair(processToken, true), std::make_pair(linked.LinkedToken, false)}) {
        // The linked token comes as one for identification only; Wine makes a primary token of it.
        HANDLE primary = nullptr;
        ASSERT_TRUE(
            DuplicateTokenEx(from, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary, &primary));
        HANDLE restricted = nullptr;
        ASSERT_TRUE(CreateRestrictedToken(primary, 0, 1, &denyOnly, 0, nullptr, 0, nullptr, &restricted));
        HANDLE impersonation = nullptr;
        ASSERT_TRUE(DuplicateTokenEx(restricted, TOKEN_IMPERSONATE | TOKEN_QUERY, nullptr,
                                     SecurityImpersonation, TokenImpersonation, &impersonation));
        ASSERT_TRUE(SetThreadToken(nullptr, impersonation));
        EXPECT_FALSE(IsRunAsAdmin());
        EXPECT_EQ(readTokenFacts().elevated, elevated);
        ASSERT_TRUE(RevertToSelf());
        CloseHandle(impersonation);
        CloseHandle(restricted);
        CloseHandle(primary);
    }
    CloseHandle(linked.LinkedToken);
    CloseHandle(processToken);
    EXPECT_TRUE(IsRunAsAdmin());
    EXPECT_TRUE(readTokenFacts().elevated);
}

// The answer and the deadline race for the one start: whichever comes first has it, and the
// application is started at most once, never while another launcher updates the runtime.
TEST(StartDeadline, WhicheverComesFirstHasTheStartAndAnotherLaunchersUpdateHoldsItBack)
{
    // What the deadline's thread did, through the actions it was given; the turn is the real one.
    struct Recorded {
        LONG starts = 0;
        bool startSucceeds = true;
    };
    const auto recordStart = +[](void* context) {
        auto* recorded = static_cast<Recorded*>(context);
        InterlockedIncrement(&recorded->starts);
        return recorded->startSucceeds;
    };
    const auto realTurn = +[](void*) { return anotherLauncherUpdates(); };
    const auto now = std::chrono::steady_clock::now();
    const auto later = now + std::chrono::seconds(30);
    using End = DeadlineStartEnd;
    const struct {
        const char* row;
        Deadline deadline;
        bool turnHeld; // this test holds the session's update lock, as another launcher would
        bool startSucceeds;
        bool answerFirst;
        End end;
        LONG starts;
    } cases[] = {
        {"an answer before the deadline", later, false, true, true, End::failed, 0},
        {"an answer before the deadline, a turn held", later, true, true, true, End::failed, 0},
        {"the deadline already past", now, false, true, false, End::started, 1},
        {"a start that the shell refused", now, false, false, false, End::failed, 1},
        {"another launcher's turn held", now, true, true, false, End::yieldedToUpdate, 0},
    };
    for (const auto& row : cases) {
        UpdateLock lock(nullptr, nullptr);
        if (row.turnHeld) {
            ASSERT_TRUE(takeUpdateTurn(lock)) << row.row;
        }
        Recorded recorded{0, row.startSucceeds};
        DeadlineStartHandle watch = armStartDeadline({recordStart, realTurn, &recorded}, row.deadline);
        ASSERT_TRUE(watch) << row.row;
        EXPECT_EQ(takeStartBeforeDeadline(watch.get()), row.answerFirst) << row.row;
        if (!row.answerFirst) {
            EXPECT_EQ(waitForDeadlineStart(*watch), row.end) << row.row;
        }
        watch.reset();
        EXPECT_EQ(recorded.starts, row.starts) << row.row;
    }
    // Without a thread the answer always has the start.
    EXPECT_TRUE(takeStartBeforeDeadline(nullptr));
    // An early end (the launcher leaves before its deadline): nothing is started, then or later.
    Recorded recorded;
    DeadlineStartHandle watch =
        armStartDeadline({recordStart, realTurn, &recorded}, now + std::chrono::milliseconds(200));
    ASSERT_TRUE(watch);
    watch.reset();
    Sleep(400);
    EXPECT_EQ(recorded.starts, 0);
}

TEST(LaunchPaths, OnlyAbsoluteFoldersAreStartedFrom)
{
    const struct {
        const char* folder;
        const char* javaw;
    } cases[] = {
        {R"(C:\jre\)", R"(C:\jre\bin\javaw.exe)"},
        {R"(C:\jre)", R"(C:\jre\bin\javaw.exe)"},
        {R"(d:\Programme\Java 8\)", R"(d:\Programme\Java 8\bin\javaw.exe)"},
        {R"(\\server\share\jre\)", R"(\\server\share\jre\bin\javaw.exe)"},
        {"", ""},
        {R"(jre\)", ""},
        {R"(\jre\)", ""},
        {R"(C:jre\)", ""},
        {R"(..\jre\)", ""},
        {R"(%ProgramFiles(x86)%\jre\)", ""},
        {R"(\\\jre\)", ""},
        {"C:", ""},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(javawBelow(row.folder), row.javaw) << row.folder;
        EXPECT_EQ(isAbsoluteFolder(row.folder), *row.javaw != '\0') << row.folder;
    }
}

TEST(LateLibraries, TheHelpersHooksAreInPlaceBeforeAnyCodeRuns)
{
    // Nothing in this program sets them: they are defined with their value.
    EXPECT_NE(__pfnDliNotifyHook2, nullptr);
    EXPECT_NE(__pfnDliFailureHook2, nullptr);
}

TEST(LateLibraries, ADllThatCannotBeLoadedFailsItsCallersAsItsOwnFunctionsFail)
{
    // WSAStartup must report an error, so that libcurl makes no request; NTSTATUS 0 is a success.
    EXPECT_EQ(lateLibraryFailure("CRYPT32.dll"), 0);
    EXPECT_EQ(lateLibraryFailure("bcrypt.dll"), static_cast<std::intptr_t>(static_cast<long>(0xC0000225L)));
    EXPECT_EQ(lateLibraryFailure("ws2_32.dll"), -1);
    EXPECT_EQ(lateLibraryFailure("wintrust.dll"), 0);
}

// Event Viewer shows an event's text from the launcher's message table, in the viewer's language
// where the table has it, under the event's ID.
TEST(EventMessages, EachEventHasItsTextInTheFiveLanguages)
{
    const char* const built = std::getenv("KLV_LAUNCHER");
    ASSERT_NE(built, nullptr);
    // CTest names the executable by its Linux path; Wine shows that as drive Z:.
    std::string path = std::string("Z:") + built;
    std::replace(path.begin(), path.end(), '/', '\\');
    HMODULE launcher = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(launcher, nullptr) << path;
    EXPECT_EQ(runtimeInstalledEvent, static_cast<unsigned long>(KLV_EVENT_RUNTIME_INSTALLED));
    EXPECT_EQ(serviceUnreachableEvent, static_cast<unsigned long>(KLV_EVENT_SERVICE_UNREACHABLE));
    // FORMAT_MESSAGE_ARGUMENT_ARRAY takes the insertion strings as an array of pointer-sized values.
    DWORD_PTR facts[] = {reinterpret_cast<DWORD_PTR>(L"8u482b08"), reinterpret_cast<DWORD_PTR>(L"1603"),
                         reinterpret_cast<DWORD_PTR>(L"msiexec-8u482b08.log")};
    // Each ID's own English text, with its facts where they belong.
    const std::map<unsigned long, std::wstring> english = {
        {1000, L"installed the Java runtime 8u482b08 (installed for: 1603)."},
        {1001, L"8u482b08 and did not run it. Reason: 1603. Signer: msiexec-8u482b08.log"},
        {1002, L"could not install the Java runtime 8u482b08 (exit code 1603). Its log is kept as msiexec-"},
        {1003, L"Java runtime 8u482b08 failed 1603 times for this user: the launcher no longer offers"},
        {1004, L"application could not be started. Reason: 8u482b08."},
        {1005, L"could not reach the release service 8u482b08 (1603). It reports this at most once"}};
    for (unsigned long id = runtimeInstalledEvent; id <= serviceUnreachableEvent; ++id) {
        for (const DWORD language : {0x0409UL, 0x0407UL, 0x0C0AUL, 0x040CUL, 0x0413UL}) {
            wchar_t text[1024] = L"";
            (void)FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, launcher, id,
                                 language, text, 1024, reinterpret_cast<va_list*>(facts));
            const std::wstring read = text;
            EXPECT_NE(read.find(language == 0x0409UL ? english.at(id) : L"8u482b08"), std::wstring::npos)
                << id << " " << language;
        }
    }
    FreeLibrary(launcher);
}

TEST(UpdatePolicyUrl, OnlyPlainWebUrlsReplaceTheReleaseService)
{
    for (const std::string& accepted : std::initializer_list<std::string>{
             "https://mirror.example/v3/installer/latest/8/ga/windows/x86/jre/hotspot/normal/eclipse",
             "http://10.0.0.5:8080/adoptium", "HTTPS://Mirror.Example/x",
             "https://m/" + std::string(2038, 'a')}) {
        EXPECT_TRUE(isAcceptedServiceUrl(accepted)) << accepted;
    }
    for (const std::string& ignored : std::initializer_list<std::string>{
             "", "ftp://mirror.example/x", "file:///C:/mirror", "mirror.example/x", "https://", "https:///x",
             "https://mirror.example/a b", "https://mirror.example/x\r\nHost: evil", "\\\\server\\share",
             "https://m/" + std::string(2039, 'a'), "javascript:alert(1)"}) {
        EXPECT_FALSE(isAcceptedServiceUrl(ignored)) << ignored;
    }
}

TEST(UpdatePolicyPublishers, OnlyNamesThatCanBeOrganisationsAreAdded)
{
    const std::vector<std::string> entries = {"Mirror GmbH", std::string(128, 'a'), std::string(129, 'b'),
                                              "Tab\tInside", "Line\nBreak",         "Ümlaut AG"};
    EXPECT_EQ(acceptedPublishers(entries),
              (std::vector<std::string>{"Mirror GmbH", std::string(128, 'a'), "Ümlaut AG"}));
    EXPECT_EQ(acceptedPublishers(std::vector<std::string>(20, "Many")).size(), 16U);
}

TEST(PlatformRecords, HaveTheSizesAndValuesTheLauncherRelyOn)
{
    EXPECT_EQ(sizeof(SHELLEXECUTEINFOA), 112U);
    EXPECT_EQ(SEE_MASK_NOCLOSEPROCESS, 0x40U);
    EXPECT_EQ(SEE_MASK_NOASYNC, 0x100U);
    EXPECT_EQ(SW_HIDE, 0);
    EXPECT_EQ(sizeof(FLASHWINFO), 32U);
    EXPECT_EQ(FLASHW_ALL | FLASHW_TIMER, 7U);
    EXPECT_EQ(MB_YESNO | MB_ICONQUESTION, 0x24U);
    EXPECT_EQ(MB_ICONERROR, 0x10U);
    EXPECT_EQ(MB_ICONHAND, 0x10U);
    EXPECT_EQ(IDYES, 6);
    EXPECT_EQ(WH_CBT, 5);
    EXPECT_EQ(HCBT_ACTIVATE, 5);
}
