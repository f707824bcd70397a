// Running Windows Installer: waiting for its turn, the run itself, and its verbose log.
#pragma once

#include "download.h"

#include <string>

// How the installer's run ended.
struct InstallerRun {
    bool ran = false;       // msiexec ran to its end, and exitCode is its exit code
    bool cancelled = false; // the user cancelled the wait for another installation
    unsigned long exitCode = 0;
};

// Has Windows Installer install the package at packagePath (the runtime letterVersion), after
// waiting while another installation runs, and waits for it however long it takes: the user
// may be answering its dialogs. An installer that still finds another installation running
// (1618) is started again after the next turn, up to three times. observer.ended is called
// right before the installer starts, whatever happens.
InstallerRun runInstaller(const std::string& packagePath, const std::string& letterVersion,
                          const DownloadObserver& observer);
