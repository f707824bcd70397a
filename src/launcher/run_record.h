// The first and the last line that a run leaves in the launcher's log.
#pragma once

#include "launcher.h"

// Records the launcher's version, the Windows version and build, whether the launcher runs
// elevated (token), the user-interface language and the language of the prompts.
void recordStart(const TokenFacts& token);

// Opens the log, once, and writes what was recorded so far. Called before a question, or at the
// end of the run, or right after the application's start at the deadline, so that a start without
// a question costs the application no time. Any thread may call it.
void openRunLog();

// Records how the run ended and its exit code, closes the log (opening it first if need be), and
// returns exitCode.
int recordEnd(const char* outcome, int exitCode);
