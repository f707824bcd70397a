// The elevation test, and the sizes and values of the platform records and flags that the
// launcher fills by name.
#include "launcher/launcher.h"

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

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

TEST(PlatformRecords, HaveTheSizesAndValuesTheLauncherRelyOn)
{
    EXPECT_EQ(sizeof(SHELLEXECUTEINFOA), 112U);
    EXPECT_EQ(SEE_MASK_NOCLOSEPROCESS, 0x40U);
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
