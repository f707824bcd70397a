// Windows Installer's verbose log of an installation: where it is written, and what is kept of
// it in the user's log folder.
#pragma once

#include <cstddef>
#include <string>

// Windows Installer's verbose logs of failed installations kept in the user's log folder.
constexpr std::size_t keptInstallerLogs = 3;

// "<folder>\msiexec-<letterVersion>.log"; empty without a folder.
std::string installerLogPath(const std::string& folder, const std::string& letterVersion);

// Copies the log at source into logFolder as msiexec-<letterVersion>.log, through a file that
// this call creates new, or where a file of that name stands already, under a name of this
// run's own beside it: a file or link planted there is never written through. Returns the
// copy's path; empty when no copy could be made.
std::string copyInstallerLog(const std::string& source, const std::string& logFolder,
                             const std::string& letterVersion);

// Deletes all but the newest keep Windows Installer logs in folder.
void keepNewestInstallerLogs(const std::string& folder, std::size_t keep);
