// The launcher's own log, for whoever supports the user: one line per decision, in
// %LOCALAPPDATA%\Marveth\KLV\klv-launcher.log. A log that cannot be written changes nothing
// else the launcher does.
#pragma once

#include "log_line.h"

#include <string>

// Opens folder\klv-launcher.log for appending, after moving a log past the limit aside, and
// writes the events recorded before. With holdFolders (an elevated launcher), every folder of
// the path is checked not to be a link and held while the log is open. False, and every event is
// dropped, when the file cannot be opened. Until the first call, events wait in memory.
bool openLauncherLog(const std::string& folder, bool holdFolders);

// Appends one line, in one write: lines of launchers running at once never mix.
void logEvent(const char* event, std::initializer_list<LogField> fields = {});

// Closes the log; later events are dropped.
void closeLauncherLog();

// The folder of the open log; empty while none is open.
std::string openLogFolder();
