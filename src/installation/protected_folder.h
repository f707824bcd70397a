// A folder that the user's unelevated programs cannot write, made new for one elevated run.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

using SecurityDescriptor = std::unique_ptr<std::remove_pointer_t<PSECURITY_DESCRIPTOR>, decltype(&LocalFree)>;

// The folder's security. For an administrator: owned by the Administrators group, SYSTEM and the
// Administrators alone allowed in. For an elevated launcher that is no administrator (a Backup
// Operator, say), which cannot give its folder to the Administrators: owned by the user, SYSTEM and
// the owner allowed in, and labelled High with no write-up, so that the user's unelevated
// programs, of Medium integrity, can neither write into it nor change it. Nothing inherited.
// Empty when it cannot be built.
SecurityDescriptor protectedFolderSecurity(bool administrator);

// Creates a folder of this run's own, directly in %ProgramData% (as the system names it, never
// as the environment does), under a name nobody could know in advance, with that security given
// at creation: a user's program can neither have planted it nor redirect it (a junction, a link)
// before the launcher writes there. Empty when it cannot be made.
std::string createProtectedFolder(bool administrator);
