// Whether anything runs from the installed runtime. An upgrade replaces the runtime's files, and
// Windows Installer would then offer to close whatever holds them: the user's open application,
// with its unsaved work. So no upgrade is offered while a program runs from the runtime's folder.
#pragma once

#include <string>

// What the look at the running processes found.
struct RuntimeUse {
    enum class State { unused, inUse, unknown } state = State::unknown;
    std::string process;   // inUse: the image's file name ("javaw.exe")
    unsigned long pid = 0; // inUse: its process id
};

// True when path (an executable's full path) lies in folder or below it: compared without regard
// to case, by whole path components, so that C:\jre does not hold C:\jre2\bin\java.exe. No
// platform call: a row table in its test.
bool isInFolder(const std::string& path, const std::string& folder);

// Looks at every process the launcher may query (any user's, where its rights allow) for one
// whose executable lies in runtimeFolder. unknown where the processes cannot be listed, or
// runtimeFolder is empty (a record that could not be read).
RuntimeUse findRuntimeInUse(const std::string& runtimeFolder);
