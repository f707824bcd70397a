// Downloads the newest runtime installer, checks it, runs it and waits for it.
#pragma once

#include "download.h"
#include "installer_codes.h"

#include <string>
#include <vector>

// callJavaAPI's result when the user cancelled: the download, the wait for Windows Installer's
// turn, Windows Installer itself (1602) or its prompt for elevation.
constexpr int installationCancelled = 2;

// How the installation goes beyond its defaults.
struct InstallOptions {
    // Organisations whose signature is accepted besides the runtime's publisher.
    std::vector<std::string> publishers;
    // The launcher runs with administrator rights: the package is then saved where only
    // administrators can write, never in a folder of the user's.
    bool elevated = false;
};

// Downloads the installer from apiUrl (following its redirects) into the user's Downloads
// folder (or the temporary folder; for an elevated launcher, a new folder of its own in
// %ProgramData%) under a name made from version, the probed version, and runs it through
// Windows Installer when it is signed by the runtime's publisher (or one of the options'
// publishers) and is that version; waits for it and deletes the file (and the folder it made)
// again. Returns 0 when the runtime was installed, with version set to what the registry now
// reports; 1 when no installer ran to a successful end (version is then left alone);
// installationCancelled when the user cancelled.
int callJavaAPI(std::string& version, const std::string& apiUrl, const DownloadObserver& observer = {},
                const InstallOptions& options = {});

// The letter-form version a package of ProductVersion productVersion must have been offered as
// to be run: true when both name the same version.
bool packageIsVersion(const std::string& productVersion, const std::string& letterVersion);
