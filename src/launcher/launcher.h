// Process-wide state of the launch sequence, shared by the update and prompt stages.
#pragma once

#include <string>
#include <vector>

// The release service's URL, fixed when the launcher is built.
extern const std::string apiUrl;
// The newest installer's version in letter form as the release probe found it; after a
// successful installation, the version read back from the registry.
extern std::string javaVerURL;
// The installed runtime's version in letter form, read once at start; empty when none.
extern std::string javaVerReg;
// The dotted form of the version whose runtime is started.
extern std::string javaVerDot;
// The release service that the probe and the download use: apiUrl, unless the administrators
// named a mirror of their own.
extern std::string serviceUrl;
// Organisations whose signature the administrators accept on an installer besides the
// runtime's publisher.
extern std::vector<std::string> trustedPublishers;

// True when the calling thread's effective token holds the built-in Administrators group: the
// launcher starts the application with "runas" then.
bool IsRunAsAdmin();

// What the calling thread's effective token says of its user, read once at the start of a run.
struct TokenFacts {
    // The token is elevated (TokenElevation) or holds the Administrators group. UAC splits the
    // tokens of other groups and privileges too (Backup Operators, holders of SeBackupPrivilege or
    // SeDebugPrivilege): started "as administrator" such a user runs elevated without being an
    // administrator. Every rule that keeps the user's unelevated programs from steering an
    // elevated launcher asks this.
    bool elevated = false;
    bool administrator = false; // IsRunAsAdmin()
    // UAC gave the user a pair of tokens (TokenElevationType Full or Limited): the user can become
    // an administrator. A standard user's token, and any token with UAC off, is of type Default.
    bool splitToken = false;
};

TokenFacts readTokenFacts();
