// Windows Installer's exit codes, named once. No platform header: tested on its own.
#pragma once

#include "update_outcome.h"

constexpr unsigned long installerSuccess = 0;
constexpr unsigned long installerUserCancelled = 1602;   // ERROR_INSTALL_USEREXIT
constexpr unsigned long installerFatalError = 1603;      // ERROR_INSTALL_FAILURE
constexpr unsigned long installerAnotherRunning = 1618;  // ERROR_INSTALL_ALREADY_RUNNING
constexpr unsigned long installerRefusedByPolicy = 1625; // ERROR_INSTALL_PACKAGE_REJECTED
constexpr unsigned long elevationDeclined = 1223;        // ERROR_CANCELLED: the prompt for elevation
constexpr unsigned long installerRebootStarted = 1641;   // ERROR_SUCCESS_REBOOT_INITIATED
constexpr unsigned long installerRebootRequired = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED

// The exit codes that mean the product is installed: success, and success with a restart
// required (3010) or already started (1641).
bool installerSucceeded(unsigned long exitCode);

// What an exit code means for the update: installed (0, 3010, 1641), declined (1602, and a
// declined elevation), Windows Installer busy (1618), or failed (everything else, 1625 included).
UpdateOutcome outcomeOfExitCode(unsigned long exitCode);

// A few words on an exit code, for the log.
const char* installerExitMeaning(unsigned long exitCode);
