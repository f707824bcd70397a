// The start of the application: javaw.exe of the chosen runtime, through the shell, in the
// application's folder.
#pragma once

#include <string>

struct ApplicationStart {
    std::string javaPath;       // the runtime's bin\javaw.exe
    std::string klvPath;        // the application's folder, its working directory
    bool administrator = false; // the launcher runs as an administrator, and passes that on ("runas")
};

// Asks the shell to start the application and logs what it answered; true when it started. A
// start the shell could not make goes into the Event Log with the shell's error code.
// Any thread may call it: it enters COM's multi-threaded apartment for the call.
bool startApplication(const ApplicationStart& start);
