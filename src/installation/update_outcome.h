// How the update stage ended, in one record that the installation produces and the prompt
// flow, the record of failed installations and the log read. No platform header.
#pragma once

#include <string>

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
    // refused: the package itself is the reason, and would be refused again (its signer is not
    // trusted, or its own version is not the offered one), rather than the way it came (not a
    // signed package at all, cut short) or this machine (a root it does not trust, a wrong clock,
    // a DLL or a file that could not be read).
    bool packageAtFault = false;
    std::string signer{};       // refused: the signer's organisation, where its signature verified
    std::string installerLog{}; // Windows Installer's log, kept after its failure; empty: none
};

// The outcome's name in the log: "installed", "declined", ...
const char* outcomeName(UpdateOutcome outcome);
