// Which failed installations count against a version, which refusals the package itself caused,
// and when a version is no longer offered. No platform header: each rule is a row table in its
// test.
#pragma once

#include "registry/install_failures.h"
#include "update_outcome.h"

#include <optional>
#include <string>

// True when the result is a failed installation that counts against its version: Windows
// Installer ran and failed, or the package itself was refused (packageAtFault). A busy Windows
// Installer, a failed or cancelled download, and any other refusal never count.
bool countsAsFailedInstallation(const UpdateResult& result);

// True when the attempt failed for a reason that the package did not cause: the download failed,
// or the package was refused for the way it came (not a package, not signed, cut short) or for
// this machine (a root or a clock it does not trust, a DLL or a file that could not be read).
// The user said yes and no application started: such attempts in a row let a version rest.
bool failedWithoutThePackagesFault(const UpdateResult& result);

// After this many attempts in a row at one version that failed without the package's fault, the
// version rests for restAfterFailedAttemptsSeconds while a runtime is installed: two may be a
// proxy's hiccups, a third says the way to the package is broken for now.
constexpr unsigned long mostFailedAttempts = 3;
constexpr long long restAfterFailedAttemptsSeconds = 24LL * 60 * 60;

// Whether version is no longer offered now (seconds since 1970, UTC) by the record of failures:
// counted failed installations reached their limit, or the failed attempts theirs within the
// rest. Never without a usable runtime installed (its javaw.exe exists): nothing else could start.
bool versionWithdrawn(const FailedInstallations& record, const std::string& version, bool runtimeUsable,
                      long long now);

// How many of a file's first bytes tell an OLE compound file.
constexpr unsigned long compoundFileSignatureBytes = 8;

// True when the file's first bytes are those of an OLE compound file, as every Windows Installer
// package is: anything else (a proxy's page, an error document) is refused before its signature is
// even looked at.
bool isWindowsInstallerPackage(const std::string& firstBytes);

// The refusal that the package's signature leads to, none where it passes: why "signature" where
// it does not verify or could not be checked at all; why "publisher", the package's own fault,
// where it verifies and names a signer (signer, its organisation) that is not trusted. Only a
// verified signature names its signer: an unverified certificate says whatever its maker wrote.
std::optional<UpdateResult> signatureRefusal(bool verifies, const std::string& signer, bool trusted);

// The refusal that the package's own ProductVersion (empty: it could not be read) leads to, none
// where it is the offered version (offered): why "package version", the package's own fault,
// where it was read and is another; why "package version unreadable" where it could not be read,
// the package's own fault too where Windows Installer's reader was loaded (readerLoaded): the
// signature has verified by then as a trusted publisher's.
std::optional<UpdateResult> packageVersionRefusal(const std::string& productVersion, bool offered,
                                                  bool readerLoaded);
