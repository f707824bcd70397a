// The elevation tests: an administrator (the verb for starting the application), elevated, and
// whether UAC split the user's token.
#include "launcher.h"

#include <windows.h>

bool IsRunAsAdmin()
{
    BOOL isAdmin = FALSE;
    // The built-in Administrators group, S-1-5-32-544, built from its parts: parsing the same SID
    // from its SDDL string ("BA") costs about half a millisecond under Wine.
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID adminGroupSID = nullptr;
    if (AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                 0, 0, 0, 0, &adminGroupSID)
        == FALSE) {
        return false;
    }
    // A null token tests the thread's effective token: an administrator whose token is not
    // elevated (UAC) holds the group only as a deny-only entry and is not counted.
    if (CheckTokenMembership(nullptr, adminGroupSID, &isAdmin) == FALSE) {
        isAdmin = FALSE;
    }
    (void)FreeSid(adminGroupSID);
    return isAdmin == TRUE;
}

TokenFacts readTokenFacts()
{
    TokenFacts facts;
    facts.administrator = IsRunAsAdmin();
    // The thread's own token where it impersonates one, as CheckTokenMembership tests it.
    HANDLE token = nullptr;
    if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) == FALSE
        && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) == FALSE) {
        // Nothing to read: the installation stays the machine's, as before there was a choice.
        facts.elevated = facts.administrator;
        facts.splitToken = true;
        return facts;
    }
    TOKEN_ELEVATION elevation{};
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    facts.elevated =
        (GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) != FALSE
         && elevation.TokenIsElevated != 0)
        || facts.administrator;
    // Unreadable, it counts as split, for the same reason.
    facts.splitToken = GetTokenInformation(token, TokenElevationType, &type, sizeof(type), &size) == FALSE
                       || type != TokenElevationTypeDefault;
    (void)CloseHandle(token);
    return facts;
}
