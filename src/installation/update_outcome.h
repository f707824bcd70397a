// How the update stage ended, in one record that the installation produces and the prompt
// flow, the record of failed installations and the log read. No platform header.
#pragma once

#include <optional>
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
    std::string signer{};       // refused: the signer's organisation, where it could be read
    std::string installerLog{}; // Windows Installer's log, kept after its failure; empty: none
};

// The outcome's name in the log: "installed", "declined", ...
const char* outcomeName(UpdateOutcome outcome);

// True when the result is a failed installation that counts against its version: Windows
// Installer ran and failed, or the package itself was refused (packageAtFault). A busy Windows
// Installer, a failed or cancelled download, and any other refusal never count.
bool countsAsFailedInstallation(const UpdateResult& result);

// The refusal that the package's signature leads to, none where it passes: why "signature" where
// it does not verify or could not be checked at all; why "publisher", the package's own fault,
// where it verifies and names a signer (signer, its organisation) that is not trusted.
std::optional<UpdateResult> signatureRefusal(bool verifies, const std::string& signer, bool trusted);

// The refusal that the package's own ProductVersion (empty: it could not be read) leads to, none
// where it is the offered version (offered): why "package version", the package's own fault,
// where it was read and is another; why "package version unreadable" where it could not be read.
std::optional<UpdateResult> packageVersionRefusal(const std::string& productVersion, bool offered);
