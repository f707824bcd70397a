// The download's progress window: IProgressDialog runs its window on a thread of its own, and
// the launcher's thread feeds it from libcurl's progress callback.
#include "download_progress.h"

#include "platform/system_library.h"
#include "update/download.h"

namespace {

constexpr unsigned long long bytesPerMegabyte = 1024ULL * 1024ULL;

// A download of unknown size moves the bar once round every this many bytes, so that the user
// still sees it working.
constexpr unsigned long long unknownSizeLap = 4ULL * bytesPerMegabyte;
constexpr unsigned long long barSteps = 1000;
constexpr ULONGLONG updateEveryMilliseconds = 100;
// What the second line shows while the launcher waits: no megabyte count ever comes this high.
constexpr unsigned long long waitLine = ~0ULL - 16;

void releaseDialog(IProgressDialog* dialog)
{
    (void)dialog->StopProgressDialog();
    (void)dialog->Release();
}

// Megabytes to one decimal, with the user's decimal separator: "12,3" for a German user.
std::wstring megabytes(unsigned long long bytes)
{
    const unsigned long long tenths = bytes * 10 / bytesPerMegabyte;
    wchar_t separator[8] = L".";
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) == 0) {
        separator[0] = L'.';
        separator[1] = L'\0';
    }
    return std::to_wstring(tenths / 10) + separator + std::to_wstring(tenths % 10);
}

// Opens the window with its title and first line; no window when the shell cannot show one.
void startWindow(DownloadProgress& progress)
{
    IProgressDialog* dialog = nullptr;
    if (FAILED(createComInstance(CLSID_ProgressDialog, IID_IProgressDialog,
                                 reinterpret_cast<void**>(&dialog)))) {
        return;
    }
    progress.window.reset(dialog);
    progress.shownLine = ~0ULL;
    progress.shownPermille = ~0ULL;
    const PromptSet& prompts = *progress.prompts;
    (void)dialog->SetTitle(prompts.downloadTitel);
    (void)dialog->SetLine(1, withValues(prompts.downloadText, {{L"version", progress.version}}).c_str(),
                          FALSE, nullptr);
    (void)dialog->SetLine(2, L"", FALSE, nullptr);
    if (FAILED(dialog->StartProgressDialog(nullptr, nullptr, PROGDLG_NORMAL | PROGDLG_NOMINIMIZE, nullptr))) {
        progress.window.reset();
    }
}

} // namespace

DownloadProgress openDownloadProgress(const PromptSet& prompts, const std::string& version)
{
    // The version is a checked letter-form version: plain ASCII.
    DownloadProgress progress{
        {nullptr, &releaseDialog}, &prompts, {version.begin(), version.end()}, false, ~0ULL, ~0ULL, 0};
    startWindow(progress);
    return progress;
}

bool showDownloadProgress(void* context, unsigned long long received, unsigned long long total)
{
    auto* progress = static_cast<DownloadProgress*>(context);
    IProgressDialog* dialog = progress->window.get();
    if (dialog == nullptr) {
        return true;
    }
    // Each update is a message to the window's thread and a repaint: ten a second are plenty,
    // and more would slow the download down.
    const ULONGLONG now = GetTickCount64();
    if (now - progress->shownAt < updateEveryMilliseconds && received != total) {
        return dialog->HasUserCancelled() == FALSE;
    }
    progress->shownAt = now;
    const unsigned long long done = total > 0 ? received : received % unknownSizeLap;
    const unsigned long long whole = total > 0 ? total : unknownSizeLap;
    const unsigned long long permille = done * barSteps / whole;
    if (permille != progress->shownPermille) {
        progress->shownPermille = permille;
        (void)dialog->SetProgress64(permille, barSteps);
    }
    // The line changes once a tenth of a megabyte, not at every call.
    const unsigned long long line = received * 10 / bytesPerMegabyte + (total * 10 / bytesPerMegabyte << 32U);
    if (line != progress->shownLine) {
        progress->shownLine = line;
        const PromptSet& prompts = *progress->prompts;
        const std::wstring text =
            total > 0 ? withValues(prompts.downloadProgress,
                                   {{L"received", megabytes(received)}, {L"total", megabytes(total)}})
                      : withValues(prompts.downloadReceived, {{L"received", megabytes(received)}});
        (void)dialog->SetLine(2, text.c_str(), FALSE, nullptr);
    }
    return dialog->HasUserCancelled() == FALSE;
}

bool showDownloadWait(void* context, int reason)
{
    auto* progress = static_cast<DownloadProgress*>(context);
    if (!progress->window && !progress->cancelled) {
        startWindow(*progress); // it stood aside for Windows Installer, which found no turn
    }
    IProgressDialog* dialog = progress->window.get();
    if (dialog == nullptr) {
        // A Cancel pressed before the window stood aside ends the wait at once.
        return !progress->cancelled;
    }
    const wchar_t* const text = reason == waitReasonInstallerBusy ? progress->prompts->installerBusy
                                                                  : progress->prompts->downloadRetrying;
    if (progress->shownLine != waitLine + static_cast<unsigned long long>(reason)) {
        progress->shownLine = waitLine + static_cast<unsigned long long>(reason);
        (void)dialog->SetLine(2, text, FALSE, nullptr);
    }
    return dialog->HasUserCancelled() == FALSE;
}

bool downloadNotCancelled(void* context)
{
    const auto* progress = static_cast<const DownloadProgress*>(context);
    return !progress->cancelled && (!progress->window || progress->window->HasUserCancelled() == FALSE);
}

void stepAsideForInstaller(void* context)
{
    auto* progress = static_cast<DownloadProgress*>(context);
    progress->cancelled = !downloadNotCancelled(context);
    progress->window.reset();
}
