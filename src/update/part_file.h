// The part file that the installer is downloaded into, and the names it may take.
#pragma once

#include <windows.h>

#include <string>

// Creates "<packagePath>.part" new, for writing by this run only, under the installer's name or,
// where a file stands there already, a name of this run's own; packagePath then names the
// package it will become. INVALID_HANDLE_VALUE when no such file can be made.
HANDLE createPartFile(std::string& packagePath);

// Marks the open file for deletion when its last handle closes, or takes that back.
bool markForDeletion(HANDLE file, bool remove);

// Renames the open part file to packagePath, or where a file has appeared there meanwhile, to
// the next name of this run's own, which packagePath then names. Never replaces a file.
bool renameToFreeName(HANDLE part, std::string& packagePath);

// The name the installer for letterVersion is saved under, as the build's runtime line has it.
std::string installerFileName(const std::string& letterVersion);

// Where the installer for letterVersion is saved, below the user's profile folder.
std::string installerDownloadPath(const std::string& userProfile, const std::string& letterVersion);

// path ("...\name.msi") with "-" and suffix before its extension: another name in its folder.
std::string withNameSuffix(const std::string& path, const std::string& suffix);
