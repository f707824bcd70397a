// The shell's standard progress window while the installer downloads, with a Cancel button.
#pragma once

#include "prompt_texts.h"

#include <windows.h>

#include <shlobj.h>

#include <memory>
#include <string>

using ProgressWindow = std::unique_ptr<IProgressDialog, void (*)(IProgressDialog*)>;

// The window, and what it shows.
struct DownloadProgress {
    ProgressWindow window; // empty when the shell cannot show one, or while it stands aside
    const PromptSet* prompts;
    std::wstring version;             // the version in the first line
    bool cancelled;                   // the user pressed Cancel in a window that has gone since
    unsigned long long shownLine;     // which megabyte count the second line shows
    unsigned long long shownPermille; // where the bar stands, in thousandths
    unsigned long long shownAt;       // when the window was last updated (GetTickCount64)
};

// Opens the window for the download of version, in the language of prompts. Without a window
// the download runs all the same.
DownloadProgress openDownloadProgress(const PromptSet& prompts, const std::string& version);

// DownloadObserver::progress for the DownloadProgress that context points to: shows received of
// total bytes, and returns false once the user has pressed Cancel.
bool showDownloadProgress(void* context, unsigned long long received, unsigned long long total);

// DownloadObserver::waiting: says why the launcher waits (retrying the download, or another
// installation running), keeping the bar where it is, in a window opened again where it had
// stepped aside; false once the user has pressed Cancel.
bool showDownloadWait(void* context, int reason);

// DownloadObserver::goOn: false once the user has pressed Cancel.
bool downloadNotCancelled(void* context);

// DownloadObserver::installerStarts: closes the window, as Windows Installer shows its own.
void stepAsideForInstaller(void* context);
