// The first and the last line that a run leaves in the launcher's log.
#pragma once

// Records the launcher's version, the Windows version and build, whether the launcher runs
// elevated, the user-interface language and the language of the prompts.
void recordStart();

// Opens the log, once, and writes what was recorded so far. Called before a question, or at the
// end of the run, so that a start without a question costs the application no time.
void openRunLog();

// Records how the run ended and its exit code, closes the log (opening it first if need be), and
// returns exitCode.
int recordEnd(const char* outcome, int exitCode);
