// Whether Windows Installer installs the runtime for the whole machine or for the user alone.
// The vendor's package installs for the machine unless told otherwise, and Windows then asks a
// user without administrator rights for an administrator's password; the same package installs
// for the user alone (below %LOCALAPPDATA%\Programs, records in HKCU) with ALLUSERS=2
// MSIINSTALLPERUSER=1. No platform header: the decision is a row table in its test.
//
// The rules, in this order:
//   an elevated launcher: the machine (it never starts a user's runtime);
//   the administrators' InstallScope policy, "machine" or "user";
//   an upgrade of the user's own runtime (the one that starts today): the user, as it was;
//   a user who cannot become an administrator (no split token, not in Administrators): the user;
//   anyone else (an administrator's unelevated launcher, UAC off): the machine.
#pragma once

#include "versions/runtime_choice.h"

#include <string>

// The administrators' InstallScope value as the launcher read it.
enum class ScopePolicy {
    none,    // not set
    machine, // every installation for the machine
    user,    // every installation for the user who asks for it
    ignored, // set to something else, which is logged and changes nothing
};

// What the decision knows of the launcher, its token and the runtime it starts.
struct ScopeFacts {
    bool elevated = false; // an elevated token, or a member of Administrators
    ScopePolicy policy = ScopePolicy::none;
    bool userRuntimeStarts = false; // the runtime that starts today is the user's own
    // UAC gave this user a pair of tokens (TokenElevationType Full or Limited): the user can
    // become an administrator, and Windows asks for consent rather than for a password.
    bool splitToken = false;
    bool administrator = false; // the token holds the Administrators group
};

struct ScopeDecision {
    RuntimeScope scope = RuntimeScope::machine;
    const char* reason = ""; // a few words for the log
};

ScopeDecision decideInstallScope(const ScopeFacts& facts);

// The InstallScope value: "machine" or "user" in any case; anything else, when named, is ignored.
ScopePolicy scopePolicyOf(const std::string& value, bool named);

// The policy's name in the log: "none", "machine", "user" or "ignored".
const char* scopePolicyName(ScopePolicy policy);

// Windows Installer's command line for the package at packagePath: installed quietly beside the
// launcher's own run (no restart, no program closed), for scope, with its verbose log written to
// installerLog (none when empty).
std::string installerParameters(const std::string& packagePath, const std::string& installerLog,
                                RuntimeScope scope);
