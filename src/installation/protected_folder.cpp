// The folder of an elevated launcher's own: the download and Windows Installer's log go there,
// never into a folder of the user's, where the user's unelevated programs could plant links.
#include "protected_folder.h"

#include "platform/files.h"
#include "platform/wide_text.h"

#include <windows.h>

#include <bcrypt.h>
#include <sddl.h>

#include <cstdio>

namespace {

// Owned by the Administrators group, not by the token's default owner: where "Default owner for
// objects created by administrators" is "Object creator", that is the user, whose unelevated
// token would then hold the owner's implicit WRITE_DAC. SYSTEM and the Administrators full
// control, passed on to what is created inside; protected, so that nothing is inherited from
// %ProgramData%, where every user may create folders; and nobody else.
const wchar_t* const administratorsOnly = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// The token's own user owns it (OWNER RIGHTS stands for whoever that is, and replaces the owner's
// implicit rights); the mandatory label High with no write-up, passed on to what is created inside,
// refuses every write (WRITE_DAC and DELETE included) to a process below High integrity. An
// elevated token may give its objects a label up to its own level.
const wchar_t* const elevatedUserOnly = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;OW)S:(ML;OICI;NW;;;HI)";
constexpr int mostFolderNames = 8;

} // namespace

SecurityDescriptor protectedFolderSecurity(bool administrator)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(
            administrator ? administratorsOnly : elevatedUserOnly, SDDL_REVISION_1, &descriptor, nullptr)
        == FALSE) {
        descriptor = nullptr;
    }
    return {descriptor, &LocalFree};
}

std::string createProtectedFolder(bool administrator)
{
    const std::string programData = programDataFolder();
    const SecurityDescriptor descriptor = protectedFolderSecurity(administrator);
    if (programData.empty() || !descriptor) {
        return {};
    }
    SECURITY_ATTRIBUTES security{sizeof(security), descriptor.get(), FALSE};
    std::string created;
    for (int attempt = 0; attempt < mostFolderNames && created.empty(); ++attempt) {
        unsigned char random[16];
        if (!BCRYPT_SUCCESS(
                BCryptGenRandom(nullptr, random, sizeof(random), BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
            break;
        }
        std::string name = programData + R"(\klv-)";
        for (const unsigned char octet : random) {
            char hex[3];
            (void)std::snprintf(hex, sizeof(hex), "%02x", octet);
            name += hex;
        }
        // A name that exists already was not made by this run: take another, never that one.
        if (CreateDirectoryW(widen(name).c_str(), &security) != FALSE) {
            created = name;
        } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    return created;
}
