// The first and the last line that a run leaves in the launcher's log.
#pragma once

// Opens the log and records the launcher's version, the Windows version and build, whether
// the launcher runs elevated, the user-interface language and the language of the prompts.
void recordStart();

// Records how the run ended and its exit code, closes the log, and returns exitCode.
int recordEnd(const char* outcome, int exitCode);
