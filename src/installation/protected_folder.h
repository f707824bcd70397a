// A folder that only administrators can write, made new for one elevated run.
#pragma once

#include <string>

// Creates a folder of this run's own, directly in %ProgramData% (as the system names it, never
// as the environment does), under a name nobody could know in advance, with SYSTEM and the
// Administrators alone allowed in, given at creation: a user's program can neither have planted
// it nor redirect it (a junction, a link) before the launcher writes there. Empty when it cannot
// be made.
std::string createAdministratorsFolder();
