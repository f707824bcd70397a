// A folder that only administrators can write, made new for one elevated run.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

using SecurityDescriptor = std::unique_ptr<std::remove_pointer_t<PSECURITY_DESCRIPTOR>, decltype(&LocalFree)>;

// The folder's security: owned by the Administrators group, SYSTEM and the Administrators alone
// allowed in, nothing inherited. Empty when it cannot be built.
SecurityDescriptor administratorsFolderSecurity();

// Creates a folder of this run's own, directly in %ProgramData% (as the system names it, never
// as the environment does), under a name nobody could know in advance, with that security given
// at creation: a user's program can neither have planted it nor redirect it (a junction, a link)
// before the launcher writes there. Empty when it cannot be made.
std::string createAdministratorsFolder();
