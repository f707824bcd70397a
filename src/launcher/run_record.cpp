// The start and end lines of a run in the launcher's log.
#include "run_record.h"

#include "diagnostics/log.h"
#include "diagnostics/log_file.h"
#include "installation/trusted_publisher.h"
#include "launcher.h"
#include "platform/hex_text.h"
#include "prompts/prompt_texts.h"
#include "versions/runtime_line.h"

#include <windows.h>

#include <mutex>

namespace {

// GetVersionEx reports what the manifest declares; ntdll's RtlGetVersion reports the truth.
// ntdll is in every process, so asking it costs no load.
std::string windowsVersion()
{
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const auto getVersion = ntdll != nullptr ? reinterpret_cast<RtlGetVersionFunction>(
                                reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                                             : nullptr;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (getVersion == nullptr || getVersion(&info) != 0) {
        return "unknown";
    }
    return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "."
           + std::to_string(info.dwBuildNumber);
}

constexpr int languageDigits = 4;

// An elevated launcher holds the log's folders while it writes; set once, by recordStart.
bool elevatedRun = false;
std::once_flag logOpened;

} // namespace

void recordStart(const TokenFacts& token)
{
    elevatedRun = token.elevated;
    const LANGID language = GetUserDefaultUILanguage();
    logEvent("start", {{"launcher", KLV_VERSION},
                       {"runtime-arch", builtRuntimeLine().arch},
                       {"built-in-publishers", std::to_string(builtInPublishers().size())},
                       {"windows", windowsVersion()},
                       {"elevated", token.elevated ? "yes" : "no"},
                       {"administrator", token.administrator ? "yes" : "no"},
                       {"split-token", token.splitToken ? "yes" : "no"},
                       {"ui-language", hexNumber(language, languageDigits)},
                       {"prompts", promptsForLanguage(language).language}});
}

void openRunLog()
{
    // The deadline's thread and the launch sequence may both get here.
    std::call_once(logOpened, [] { (void)openLauncherLog(launcherLogFolder(), elevatedRun); });
}

int recordEnd(const char* outcome, int exitCode)
{
    openRunLog();
    logEvent("end", {{"outcome", outcome}, {"exit-code", std::to_string(exitCode)}});
    closeLauncherLog();
    return exitCode;
}
