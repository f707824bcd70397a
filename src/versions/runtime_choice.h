// Which installed runtime a start uses, where the vendor's installer may have put one: for the
// whole machine (HKLM, the default) or for one user (HKCU, "just for me"). No platform header:
// the choice is a row table in its test.
#pragma once

#include <string>

// Where a runtime's record was found.
enum class RuntimeScope { machine, user };

struct RuntimeChoice {
    std::string dotted; // the chosen runtime's dotted version; empty when there is none
    RuntimeScope scope = RuntimeScope::machine;
    bool userLeftOut = false; // the user has a runtime that an elevated launcher does not use
};

// The higher of the machine's runtime and the user's (each a dotted version of the line, empty
// when that place has none); at the same version the machine's, which administrators manage.
// An elevated launcher passes its elevation on to javaw.exe, and unelevated programs of the user
// can write the user's record and folder: it uses the machine's runtime only.
RuntimeChoice chooseInstalledRuntime(const std::string& machine, const std::string& user, bool elevated);

// The place's name in the log: "machine" or "user".
const char* scopeName(RuntimeScope scope);
