// What the launcher checks before it lets Windows Installer run a downloaded package.
#pragma once

#include <windows.h>

#include <array>
#include <string>

using Sha256 = std::array<unsigned char, 32>;

// A path of the launcher's (a narrow string in the active code page, UTF-8 where the manifest
// is honoured) for the functions that take wide strings only.
std::wstring widePath(const std::string& path);

// The SHA-256 of the whole file behind handle, read from its start. False when it cannot be
// read to the end.
bool hashFile(HANDLE file, Sha256& digest);

// True when the package at path, open as file, carries an Authenticode signature that
// WinVerifyTrust accepts. The publisher is deliberately not pinned: its certificate is renewed.
bool hasTrustedSignature(HANDLE file, const std::string& path);
