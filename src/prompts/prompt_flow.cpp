// The prompt flow and the attention hook.
#include "prompt_flow.h"

#include "diagnostics/event_log.h"
#include "diagnostics/log.h"
#include "download_progress.h"
#include "installation/installer.h"
#include "launcher/launcher.h"
#include "platform/system_library.h"
#include "prompt_texts.h"
#include "versions/versions.h"

HHOOK hHook = nullptr;

namespace {

constexpr UINT questionBox = MB_YESNO | MB_ICONQUESTION;
constexpr UINT errorBox = MB_ICONERROR;
const char* const noRuntimeReason = "no usable Java runtime is installed";

// A thread-local hook: it sees only the launcher's own windows, the message boxes. Installed
// once, before the first box, and never removed.
void installAttentionHook()
{
    if (hHook == nullptr) {
        hHook = SetWindowsHookExA(WH_CBT, CBTProc, nullptr, GetCurrentThreadId());
    }
}

// Beeps, then tells the user why the launcher ends; name is the message's name in the log, reason
// the words for the administrators' Event Log, where the application's failure to start goes too.
void reportEnd(const char* name, const char* reason, const wchar_t* text, const wchar_t* caption)
{
    logEvent("message", {{"shown", name}});
    reportEvent(applicationNotStarted(reason));
    installAttentionHook();
    (void)MessageBeep(MB_ICONHAND);
    (void)MessageBoxW(nullptr, text, caption, errorBox);
}

const PromptSet& userPrompts()
{
    return promptsForLanguage(GetUserDefaultUILanguage());
}

// The answer "No": without a runtime the application cannot run; with one, it keeps it.
int declined(int state, const PromptSet& prompts)
{
    if (state == 0) {
        reportEnd("noRunJava", noRuntimeReason, prompts.noRunJava, prompts.noRunJavaTitel);
        return 1;
    }
    javaVerDot = letToDot(javaVerReg);
    return 0;
}

} // namespace

LRESULT CALLBACK CBTProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_ACTIVATE) {
        // Flash caption and taskbar button for as long as the box is open, so a box that
        // opens behind other windows is not missed.
        FLASHWINFO fwi{};
        fwi.cbSize = sizeof(fwi);
        // For HCBT_ACTIVATE, wParam carries the handle of the window being activated.
        fwi.hwnd = reinterpret_cast<HWND>(wParam); // NOLINT(performance-no-int-to-ptr)
        fwi.dwFlags = FLASHW_ALL | FLASHW_TIMER;
        fwi.uCount = 0;
        fwi.dwTimeout = 0;
        (void)FlashWindowEx(&fwi);
    }
    return CallNextHookEx(hHook, nCode, wParam, lParam);
}

int winUI(const int& state, const InstallOptions& options)
{
    installAttentionHook();
    const PromptSet& prompts = userPrompts();

    const wchar_t* const question = state == 0 ? prompts.noJava : prompts.newJava;
    const wchar_t* const questionTitel = state == 0 ? prompts.noJavaTitel : prompts.newJavaTitel;
    const bool yes = MessageBoxW(nullptr, question, questionTitel, questionBox) == IDYES;
    logEvent("question", {{"asked", state == 0 ? "noJava" : "newJava"},
                          {"offered", javaVerURL},
                          {"installed", javaVerReg.empty() ? "none" : javaVerReg},
                          {"answer", yes ? "yes" : "no"}});
    if (!yes) {
        return declined(state, prompts);
    }

    // The shell's progress window is a COM object of the single-threaded apartment; the same
    // apartment serves the start of Windows Installer through the shell.
    const HRESULT com = enterComApartment(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    DownloadProgress progress = openDownloadProgress(prompts, javaVerURL);
    const DownloadObserver observer{showDownloadProgress, showDownloadWait, downloadNotCancelled,
                                    stepAsideForInstaller, &progress};
    const UpdateResult result = callJavaAPI(javaVerURL, serviceUrl, observer, options);
    // The one place where the window goes, whatever the outcome.
    progress.window.reset();
    if (SUCCEEDED(com)) {
        leaveComApartment();
    }
    if (result.outcome == UpdateOutcome::installed || *result.why == '\0') {
        logEvent("installation", {{"result", outcomeName(result.outcome)}, {"version", javaVerURL}});
    } else {
        logEvent("installation",
                 {{"result", outcomeName(result.outcome)}, {"version", javaVerURL}, {"why", result.why}});
    }
    // Cancelling the download, the wait or Windows Installer takes back the "Yes". A runtime
    // that a program uses meanwhile stays as it is, and starts: the next start offers it again.
    if (result.outcome == UpdateOutcome::cancelled || result.outcome == UpdateOutcome::declined
        || result.outcome == UpdateOutcome::runtimeInUse) {
        return declined(state, prompts);
    }
    if (result.outcome != UpdateOutcome::installed) {
        reportEnd("errorJava", "the installation of the Java runtime failed", prompts.errorJava,
                  prompts.errorJavaTitel);
        return 1;
    }
    javaVerDot = letToDot(javaVerURL);
    return 0;
}

int reportNoRuntime()
{
    const PromptSet& prompts = userPrompts();
    reportEnd("noRunJava", noRuntimeReason, prompts.noRunJava, prompts.noRunJavaTitel);
    return 1;
}

int reportNoApplication()
{
    const PromptSet& prompts = userPrompts();
    reportEnd("noApp", "the application's installation was not found", prompts.noApp, prompts.noAppTitel);
    return 1;
}
