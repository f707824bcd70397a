// What the launcher checks before it lets Windows Installer run a downloaded package.
#pragma once

#include <windows.h>

#include <string>

// The Authenticode verdict on a package.
struct PackageSignature {
    long status = -1;         // WinVerifyTrust's answer, an HRESULT
    bool verifies = false;    // the answer accepts the signature
    std::string organisation; // O in the signer certificate's subject; empty when unknown
};

// Has WinVerifyTrust check the package at path, open as file, and reads who signed it.
PackageSignature readPackageSignature(HANDLE file, const std::string& path);

// The package's own ProductVersion from its Property table (read-only, through Windows
// Installer's database functions); empty when it cannot be read. readerLoaded says whether those
// functions could be loaded at all: where they were, an unreadable version is the package's own.
std::string packageProductVersion(const std::string& path, bool& readerLoaded);
