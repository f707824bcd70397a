// Installations that failed, remembered per user, so that a version whose installation keeps
// failing (a user who is no administrator, a machine that refuses it) is not offered at every
// start. Kept under HKCU\Software\Marveth\KLV\Launcher.
#pragma once

#include <string>

struct FailedInstallations {
    std::string version;     // the letter-form version whose installation failed
    unsigned long count = 0; // how many times in a row
    unsigned long lastExitCode = 0;
    // Attempts at the same version that failed without the package's fault (a download, a
    // package that was none), and when the last one ended (seconds since 1970, UTC).
    unsigned long failedAttempts = 0;
    long long lastAttemptAt = 0;
};

// After this many failed installations of one version, it is no longer offered while a runtime
// is installed.
constexpr unsigned long mostFailedInstallations = 2;

// The record; empty (count 0) when there is none, or when it holds anything but a letter-form
// version and two sensible numbers.
FailedInstallations readFailedInstallations();

// Counts one more failed installation of version, starting again for another version; returns
// the count stored, or 0 when the record could not be written.
unsigned long recordFailedInstallation(const std::string& version, unsigned long exitCode);

// Counts one more attempt at version that failed without the package's fault, at now, starting
// again for another version; returns the count stored, or 0 when it could not be written.
unsigned long recordFailedAttempt(const std::string& version, long long now);

// Forgets every failed installation: one has succeeded, or the service offers another version.
void clearFailedInstallations();
