// The records of the installed runtime of the launcher's line, wherever the vendor's installer
// wrote them: for the whole machine in HKLM, in the view of the line's architecture, or for one
// user ("just for me") in HKCU\SOFTWARE\Eclipse Adoptium\JRE, which both lines share.
#pragma once

#include "versions/runtime_choice.h"

#include <string>

struct InstalledRuntime {
    std::string version; // letter form; empty when none is installed
    RuntimeScope scope = RuntimeScope::machine;
    std::string userLeftOut; // the dotted version of a user's runtime that an elevated launcher leaves out
};

// The installed runtime: the highest Java 8 of the line across the machine's records and, unless
// the launcher runs elevated, the user's. A user's record counts only where its folder's
// bin\javaw.exe is an executable for the line's processor.
InstalledRuntime findInstalledRuntime(bool elevated);

// The installed runtime's version in letter form, as findInstalledRuntime chooses it.
std::string findjavaVersionReg(bool elevated);

struct RuntimeFolder {
    std::string folder; // the record's "Path"; empty when no record of the version is usable
    RuntimeScope scope = RuntimeScope::machine;
};

// The folder of the runtime that an installation for scope replaces: Windows Installer upgrades
// only a product of the same place, so it is the machine's highest runtime of the line for an
// installation for the machine, and the user's (whose javaw.exe is of the line) for one for the
// user, whichever runtime starts. Empty when that place has none (or its record cannot be read).
std::string replacedRuntimeFolder(RuntimeScope scope);

// The folder of the runtime of version dotted, from the place whose record findInstalledRuntime
// would choose: the machine's, or (not elevated) the user's whose javaw.exe is of the line.
RuntimeFolder runtimeFolderOf(const std::string& dotted, bool elevated);
