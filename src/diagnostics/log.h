// The launcher's own log, for whoever supports the user: one line per decision, in
// %LOCALAPPDATA%\Marveth\KLV\klv-launcher.log. A log that cannot be written changes nothing
// else the launcher does.
#pragma once

#include "log_line.h"

#include <cstddef>
#include <string>

// A log that has passed this at start is moved aside to klv-launcher.log.1, replacing the one
// there: at most about twice this per user, however many starts.
constexpr unsigned long long launcherLogLimitBytes = 1024ULL * 1024ULL;

// %LOCALAPPDATA%\Marveth\KLV, created as needed; empty when there is no such folder to be had.
std::string launcherLogFolder();

// Opens folder\klv-launcher.log for appending, after moving a log past the limit aside, and
// writes the events recorded before. False, and every event is dropped, when the file cannot be
// opened. Until the first call, events wait in memory.
bool openLauncherLog(const std::string& folder);

// Appends one line, in one write: lines of launchers running at once never mix.
void logEvent(const char* event, std::initializer_list<LogField> fields = {});

// Closes the log; later events are dropped.
void closeLauncherLog();

// Where Windows Installer writes its verbose log of installing letterVersion, beside the
// launcher's log; empty without an open log.
std::string installerLogPath(const std::string& letterVersion);

// Deletes all but the newest keep Windows Installer logs beside the launcher's log.
void keepNewestInstallerLogs(std::size_t keep);
