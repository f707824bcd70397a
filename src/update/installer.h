// What the download tells whoever shows it to the user.
struct DownloadObserver {
    // Called as bytes arrive, at least once a second (total is 0 while unknown). Returning false
    // cancels the download.
    bool (*progress)(void* context, unsigned long long received, unsigned long long total) = nullptr;
    // Called once when the download has ended, whatever its outcome, before anything is run.
    void (*ended)(void* context) = nullptr;
    void* context = nullptr;
};

// callJavaAPI's result when the user cancelled the download.
constexpr int installationCancelled = 2;

// Downloads the newest runtime installer, runs it and waits for it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Downloads the installer from apiUrl (following its redirects) into the user's Downloads
// folder (or the temporary
// folder) under a name made from version, the probed version, runs it through the shell, waits for it and
// deletes the file again. Returns 0 when the runtime was installed, with version set to what the registry now
// reports; 1 when no installer ran to a successful end (version is then left alone).
// When the observer cancels the download, nothing is run and the result is installationCancelled.
int callJavaAPI(std::string& version, const std::string& apiUrl, const DownloadObserver& observer = {});

// CURLOPT_WRITEFUNCTION: writes the received bytes to the FILE that stream points to.
// Returns the number of items written; a short count makes libcurl abort the transfer.
std::size_t write_data(void* ptr, std::size_t size, std::size_t nmemb, void* stream);

// The name the installer for letterVersion is saved under.
std::string installerFileName(const std::string& letterVersion);

// Where the installer for letterVersion is saved, below the user's profile folder; where that
// has no Downloads folder, the user's temporary folder takes its place.
std::string installerDownloadPath(const std::string& userProfile, const std::string& letterVersion);

// Windows Installer's exit codes that mean the product is installed: success, and success
// with a restart required (3010) or already started (1641).
bool installerSucceeded(unsigned long exitCode);
