// How the update stage ended, in one record that the installation produces and the prompt
// flow, the record of failed installations and the log read. No platform header.
#pragma once

enum class UpdateOutcome {
    installed,     // Windows Installer installed the runtime
    declined,      // the user said no to Windows Installer (1602) or to its prompt for elevation
    cancelled,     // the user pressed Cancel in the progress window
    refused,       // the package did not pass the launcher's checks; why says which
    failed,        // no installation: the download failed, or Windows Installer's exit code says so
    installerBusy, // another installation kept Windows Installer busy for longer than the launcher waits
    runtimeInUse,  // a program started from the installed runtime meanwhile: not installed this time
};

struct UpdateResult {
    UpdateOutcome outcome = UpdateOutcome::failed;
    const char* why = "";      // a few words for the log: which step refused or failed
    bool installerRan = false; // Windows Installer ran to its end, and exitCode is its exit code
    unsigned long exitCode = 0;
};

// The outcome's name in the log: "installed", "declined", ...
const char* outcomeName(UpdateOutcome outcome);

// True when the result is a failed installation that counts against its version: Windows
// Installer ran and failed, or the package was refused (it would be refused again: its signer,
// its publisher's name or its version is not what this launcher accepts). A busy Windows
// Installer, a failed or cancelled download never count.
bool countsAsFailedInstallation(const UpdateResult& result);
