// The runtime's line a launcher serves: the 32-bit or the 64-bit Temurin 8. A line decides where
// the release service names its newest installer, what the saved package is called and where
// its installer records the runtime; the versions, the checks and the questions are the same for
// both. No platform header: the table is tested on its own.
#pragma once

#include <string>

struct RuntimeLine {
    const char* arch;          // "x86" or "x64", as the service's path and the log name it
    const char* servicePath;   // the release service's path that redirects to the newest installer
    const char* packagePrefix; // the saved package's name, before its letter-form version
    // The key of the installer's per-machine records below HKLM, as a 64-bit program names it:
    // a 32-bit package's records lie in the 32-bit view, reached through WOW6432Node.
    const char* runtimeRecords;
    // The PE machine of the line's javaw.exe (pe_machine.h's numbers): how a runtime installed
    // for one user, whose records both lines share, is told to be of this line.
    unsigned executableMachine;
};

// The line of arch ("x86" or "x64"); nullptr for any other name.
const RuntimeLine* runtimeLineFor(const std::string& arch);

// The line this launcher was built for (the build's KLV_RUNTIME_ARCH).
const RuntimeLine& builtRuntimeLine();

// The release service's URL: configured where it is given (a mirror, the tests' stand-in), the
// Adoptium release service with the line's own path otherwise.
std::string serviceUrlFor(const RuntimeLine& line, const std::string& configured);

// The saved package's file name for letterVersion.
std::string packageFileName(const RuntimeLine& line, const std::string& letterVersion);
