// Installations that failed, remembered per user, so that a version whose installation keeps
// failing (a user who is no administrator, a machine that refuses it) is not offered at every
// start. Kept under HKCU\Software\Marveth\KLV\Launcher.
#pragma once

#include <string>

struct FailedInstallations {
    std::string version;     // the letter-form version whose installation failed
    unsigned long count = 0; // how many times in a row
    unsigned long lastExitCode = 0;
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

// Forgets every failed installation: one has succeeded, or the service offers another version.
void clearFailedInstallations();
