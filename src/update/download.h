// The download of the installer: the transfer from the release service into a part file of
// this run's own, and the package it becomes.
#pragma once

#include "network/proxy_settings.h"

#include <cstddef>
#include <memory>
#include <string>

// What the download and the installation tell whoever shows them to the user. Every callback
// may be missing.
struct DownloadObserver {
    // Called as bytes arrive, at least once a second (total is 0 while unknown). Returning false
    // cancels the download.
    bool (*progress)(void* context, unsigned long long received, unsigned long long total) = nullptr;
    // Called again and again while the launcher waits (reason: one of the waitReason values
    // below), about ten times a second, showing the window again where it had stepped aside.
    // Returning false cancels the wait and the installation.
    bool (*waiting)(void* context, int reason) = nullptr;
    // Asked between the steps that follow the download: false once the user has cancelled.
    bool (*goOn)(void* context) = nullptr;
    // Called right before Windows Installer starts, which shows its own window: the progress
    // window steps aside.
    void (*installerStarts)(void* context) = nullptr;
    void* context = nullptr;
};

// Why the launcher waits: before the next attempt of a download that was cut off, or for
// another installation to finish.
constexpr int waitReasonRetrying = 1;
constexpr int waitReasonInstallerBusy = 2;

// A file's HANDLE, closed when it goes. (No Windows header here: its users include libcurl's,
// which must come first.)
using FileHandle = std::unique_ptr<void, void (*)(void*)>;

// FileHandle's deleter.
void closeFile(void* file);

// How a download ended.
enum class DownloadEnd { complete, failed, cancelled, tooLarge };

// Downloads the body that apiUrl finally answers with, following its redirects one by one, each
// through the proxy that proxy gives for its host, into the folder of packagePath, under that
// name or, where a file of that name exists already, under a name of this run's own;
// packagePath then names the file written. Returns the package opened for reading only, with
// writing and deleting denied to everyone; no handle when the download did not complete (end
// says why), and then nothing of it is left. A file that this run did not create is never
// changed.
FileHandle downloadInstaller(const std::string& apiUrl, const ProxyChoice& proxy, std::string& packagePath,
                             const DownloadObserver& observer, DownloadEnd& end);

// CURLOPT_WRITEFUNCTION: writes the received bytes to the FILE that stream points to.
// Returns the number of items written; a short count makes libcurl abort the transfer.
std::size_t write_data(void* ptr, std::size_t size, std::size_t nmemb, void* stream);
