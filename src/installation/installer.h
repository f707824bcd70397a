// Downloads the newest runtime installer, checks it, runs it and waits for it.
#pragma once

#include "network/proxy_settings.h"
#include "update/download.h"
#include "update_outcome.h"
#include "versions/runtime_choice.h"

#include <string>
#include <vector>

// How the installation goes beyond its defaults.
struct InstallOptions {
    // Organisations whose signature is accepted besides the runtime's publisher.
    std::vector<std::string> publishers;
    // The launcher runs with administrator rights: its own folder for the package and Windows
    // Installer's log belongs to the Administrators.
    bool administrator = false;
    // The launcher runs elevated: the package and Windows Installer's log are written into a folder
    // of its own that the user's unelevated programs cannot write, never into a folder of the
    // user's; the runtime installed is read back from the machine's records only.
    bool elevated = false;
    // The proxy of the run, as the update check decided it.
    ProxyChoice proxy;
    // The user's log folder, where Windows Installer's log of a failed installation is kept;
    // none is kept when empty.
    std::string logFolder;
    // Where a runtime is installed already, the folder that its upgrade replaces; empty when
    // none is.
    std::string runtimeFolder;
    // A runtime that can start is installed (the machine's or the user's, its javaw.exe there): a
    // version that fails too often is then no longer offered.
    bool runtimeUsable = false;
    // For whom Windows Installer installs the runtime: the machine, or the user alone.
    RuntimeScope scope = RuntimeScope::machine;
};

// Downloads the installer from apiUrl (following its redirects) into the user's Downloads
// folder (or the temporary folder; for an elevated launcher, a new protected folder of its own in
// %ProgramData%) under a name made from version, the probed version, and runs it through
// Windows Installer when it is signed by the runtime's publisher (or one of the options'
// publishers) and is that version; waits for it and deletes the file (and the folder it made)
// again. The result says how it ended; when installed, version holds what the registry now
// reports (it is left alone otherwise). A failed installation or a refused package is recorded
// against version, and a successful installation clears that record. Where a program runs from
// options.runtimeFolder right before Windows Installer would start, nothing is installed.
UpdateResult callJavaAPI(std::string& version, const std::string& apiUrl,
                         const DownloadObserver& observer = {}, const InstallOptions& options = {});

// The letter-form version a package of ProductVersion productVersion must have been offered as
// to be run: true when both name the same version.
bool packageIsVersion(const std::string& productVersion, const std::string& letterVersion);
