// Running Windows Installer: waiting for its turn, and the run itself.
#pragma once

#include "update/download.h"
#include "update_outcome.h"
#include "versions/runtime_choice.h"

#include <chrono>
#include <string>

// Has Windows Installer install the package at packagePath, writing its verbose log to
// installerLog (none when empty), after waiting while another installation runs, and waits for
// it however long it takes: the user may be answering its dialogs. An installer that still
// finds another installation running (1618) is started again after a pause, up to three times.
// Every wait is shown through observer, with Cancel, and all of them together end after ten
// minutes of waiting (Windows Installer's own runs, the user's time in its dialogs included, do
// not count); the user's Cancel is looked at once more right before each start. So is the
// installed runtime in runtimeFolder (none when empty): while a program runs from it, Windows
// Installer is not started (runtimeInUse). scope says for whom the runtime is installed.
UpdateResult runInstaller(const std::string& packagePath, const std::string& installerLog,
                          const DownloadObserver& observer, const std::string& runtimeFolder,
                          RuntimeScope scope);

// How long the next wait for Windows Installer's turn may take, after waits of waited so far.
std::chrono::milliseconds turnWaitLeft(std::chrono::milliseconds waited);
