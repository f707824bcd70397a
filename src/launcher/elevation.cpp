// The elevation test that picks the verb for starting the application.
#include "launcher.h"

#include <windows.h>

#include <sddl.h>

bool IsRunAsAdmin()
{
    BOOL isAdmin = FALSE;
    PSID adminGroupSID = nullptr;
    // "BA" is the SDDL alias of the built-in Administrators group.
    if (ConvertStringSidToSidA("BA", &adminGroupSID) == FALSE) {
        return false;
    }
    // A null token tests the thread's effective token: an administrator whose token is not
    // elevated (UAC) holds the group only as a deny-only entry and is not counted.
    if (CheckTokenMembership(nullptr, adminGroupSID, &isAdmin) == FALSE) {
        isAdmin = FALSE;
    }
    (void)LocalFree(adminGroupSID);
    return isAdmin == TRUE;
}
