// The proxy decision. A proxy variable of the environment that libcurl reads for the service's
// scheme wins, and libcurl applies it itself, no_proxy included. Otherwise the user's Windows
// settings: a configuration script's answer, DIRECT included; the fixed proxy when there is no
// script or it could not be fetched or run; automatic detection only once a direct request could
// not reach the service. The bypass list is applied by the launcher itself, by Windows' rules.
// Most users have none of these, so the settings' flags are read from the registry first, and
// WinHTTP, which reads and runs the rest, is loaded only when they name a proxy or a script,
// when they cannot be read, when the machine's policy makes them per machine, or for detection.
#include "proxy_choice.h"

#include "connection.h"
#include "diagnostics/log.h"
#include "platform/system_library.h"
#include "platform/wide_text.h"
#include "registry/registry.h"
#include "transfer_result.h"

#include <windows.h>

#include <winhttp.h>

#include <cstdlib>
#include <memory>

namespace {

// Each phase of fetching a configuration script, and each WPAD request, has at most this long;
// the whole look-up also counts against the probe's time.
constexpr int proxyLookupMilliseconds = 3000;
// A look-up is never waited for longer than this, whatever deadline a caller gives.
constexpr unsigned long longestLookupWaitMilliseconds = 4UL * proxyLookupMilliseconds;

const char* const connectionsKey =
    R"(Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections)";
const char* const connectionsValue = "DefaultConnectionSettings";
// The settings with their proxy, bypass list and script URL take a few hundred bytes.
constexpr unsigned long longestConnectionSettings = 16 * 1024;
const char* const proxyPolicyKey = R"(Software\Policies\Microsoft\Windows\CurrentVersion\Internet Settings)";
const char* const perUserValue = "ProxySettingsPerUser";

// The WinHTTP functions the launcher uses.
struct WinHttp {
    decltype(&WinHttpGetIEProxyConfigForCurrentUser) currentUserSettings = nullptr;
    decltype(&WinHttpOpen) open = nullptr;
    decltype(&WinHttpSetTimeouts) setTimeouts = nullptr;
    decltype(&WinHttpGetProxyForUrl) proxyForUrl = nullptr;
    decltype(&WinHttpCloseHandle) close = nullptr;
};

// WinHTTP, loaded on first use and never unloaded: a look-up that ran out of time is left to
// finish on its own thread, inside the DLL.
const WinHttp* winHttp()
{
    static const WinHttp functions = [] {
        LibraryHandle library = loadSystemLibrary("winhttp.dll");
        WinHttp found;
        found.currentUserSettings = libraryFunction<decltype(found.currentUserSettings)>(
            library, "WinHttpGetIEProxyConfigForCurrentUser");
        found.open = libraryFunction<decltype(found.open)>(library, "WinHttpOpen");
        found.setTimeouts = libraryFunction<decltype(found.setTimeouts)>(library, "WinHttpSetTimeouts");
        found.proxyForUrl = libraryFunction<decltype(found.proxyForUrl)>(library, "WinHttpGetProxyForUrl");
        found.close = libraryFunction<decltype(found.close)>(library, "WinHttpCloseHandle");
        (void)library.release();
        return found;
    }();
    const bool complete = functions.currentUserSettings != nullptr && functions.open != nullptr
                          && functions.setTimeouts != nullptr && functions.proxyForUrl != nullptr
                          && functions.close != nullptr;
    return complete ? &functions : nullptr;
}

// A look-up of a configuration script's (or WPAD's) answer, shared by the thread that runs it
// and the one that waits for it, whichever ends last releasing it.
struct AutoProxyLookup {
    std::string url;
    std::wstring scriptUrl; // empty for automatic detection
    bool answered = false;
    std::string proxies; // the answer as a WinHTTP proxy list; empty for DIRECT
    std::unique_ptr<void, decltype(&CloseHandle)> done{nullptr, &CloseHandle};
};

DWORD WINAPI lookUpAutoProxy(void* parameter)
{
    const std::unique_ptr<std::shared_ptr<AutoProxyLookup>> ticket(
        static_cast<std::shared_ptr<AutoProxyLookup>*>(parameter));
    AutoProxyLookup& lookup = **ticket;
    const WinHttp& http = *winHttp();
    HINTERNET session = http.open(L"klv-launcher", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, 0);
    if (session != nullptr) {
        (void)http.setTimeouts(session, proxyLookupMilliseconds, proxyLookupMilliseconds,
                               proxyLookupMilliseconds, proxyLookupMilliseconds);
        WINHTTP_AUTOPROXY_OPTIONS options{};
        if (!lookup.scriptUrl.empty()) {
            options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
            options.lpszAutoConfigUrl = lookup.scriptUrl.c_str();
        } else {
            options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
            options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        }
        WINHTTP_PROXY_INFO info{};
        if (http.proxyForUrl(session, widen(lookup.url).c_str(), &options, &info) != FALSE) {
            lookup.answered = true;
            lookup.proxies =
                info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY ? narrow(info.lpszProxy) : "";
            (void)GlobalFree(info.lpszProxy);
            (void)GlobalFree(info.lpszProxyBypass);
        }
        (void)http.close(session);
    }
    (void)SetEvent(lookup.done.get());
    return 0;
}

// Runs a configuration script (or WPAD, without scriptUrl) for url on a thread of its own, and
// waits for its answer until deadline. A look-up still running then is left behind: the
// launcher goes on as if there were no answer.
bool autoProxyAnswer(const std::string& url, const std::wstring& scriptUrl, Deadline deadline,
                     std::string& proxies)
{
    const auto lookup = std::make_shared<AutoProxyLookup>();
    lookup->url = url;
    lookup->scriptUrl = scriptUrl;
    lookup->done.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!lookup->done || winHttp() == nullptr) {
        return false;
    }
    auto ticket = std::make_unique<std::shared_ptr<AutoProxyLookup>>(lookup);
    HANDLE thread = CreateThread(nullptr, 0, lookUpAutoProxy, ticket.get(), 0, nullptr);
    if (thread == nullptr) {
        return false;
    }
    (void)ticket.release(); // the thread owns it now
    (void)CloseHandle(thread);
    if (WaitForSingleObject(lookup->done.get(), millisecondsUntil(deadline, longestLookupWaitMilliseconds))
        != WAIT_OBJECT_0) {
        logEvent("proxy-lookup",
                 {{"result", "out of time"}, {"kind", scriptUrl.empty() ? "detection" : "script"}});
        return false;
    }
    proxies = lookup->proxies;
    return lookup->answered;
}

// The proxy variable of the environment that libcurl will use for url, if any.
std::string environmentProxy(const std::string& url)
{
    for (const std::string& name : proxyVariables(urlScheme(url))) {
        const char* value = std::getenv(name.c_str());
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

// True when the registry's flags leave nothing for WinHTTP to read at start: no fixed proxy, no
// script, and the settings are the user's own. autoDetect then tells whether detection is on.
bool settingsNeedNoWinHttp(bool& autoDetect)
{
    unsigned long perUser = 1;
    if (queryRegistryNumber(proxyPolicyKey, perUserValue, HKEY_LOCAL_MACHINE, perUser) && perUser == 0) {
        return false;
    }
    const int flags = connectionSettingsFlags(
        queryRegistryBytes(connectionsKey, connectionsValue, HKEY_CURRENT_USER, longestConnectionSettings));
    if (flags < 0 || (flags & (connectionFixedProxy | connectionScript)) != 0) {
        return false;
    }
    autoDetect = (flags & connectionAutoDetect) != 0;
    return true;
}

// The rest of the settings through WinHTTP, with a configuration script run before deadline.
ProxyChoice fromWindowsSettings(const std::string& url, Deadline deadline)
{
    ProxyChoice choice;
    const WinHttp* http = winHttp();
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings{};
    if (http == nullptr || http->currentUserSettings(&settings) == FALSE) {
        return choice;
    }
    ProxySources sources;
    sources.fixedProxies = narrow(settings.lpszProxy);
    choice.autoDetect = settings.fAutoDetect != FALSE;
    if (settings.lpszAutoConfigUrl != nullptr) {
        sources.scriptAnswered =
            autoProxyAnswer(url, settings.lpszAutoConfigUrl, deadline, sources.scriptProxies);
        choice.autoDetect = false; // the script speaks for the settings
    }
    choice.proxy = proxyFromSettings(sources, urlScheme(url));
    choice.mode = sources.scriptAnswered ? "script" : choice.proxy.empty() ? "direct" : "fixed";
    // A script's answer is for this URL already; the bypass list goes with the fixed proxy.
    if (!sources.scriptAnswered) {
        choice.bypassList = narrow(settings.lpszProxyBypass);
    }
    (void)GlobalFree(settings.lpszAutoConfigUrl);
    (void)GlobalFree(settings.lpszProxy);
    (void)GlobalFree(settings.lpszProxyBypass);
    return choice;
}

} // namespace

ProxyChoice decideProxy(const std::string& url, Deadline deadline)
{
    const std::string environment = environmentProxy(url);
    if (!environment.empty()) {
        const char* noProxy =
            std::getenv("no_proxy") != nullptr ? std::getenv("no_proxy") : std::getenv("NO_PROXY");
        logEvent("proxy", {{"mode", "environment"},
                           {"proxy", proxyForLog(environment)},
                           {"no-proxy", noProxy != nullptr && *noProxy != '\0' ? "set" : "none"}});
        ProxyChoice choice;
        choice.mode = "environment";
        return choice;
    }
    ProxyChoice choice;
    if (!settingsNeedNoWinHttp(choice.autoDetect)) {
        choice = fromWindowsSettings(url, deadline);
    }
    const bool bypassed = !choice.proxy.empty() && proxyForUrl(choice, url).empty();
    logEvent("proxy", {{"mode", choice.mode},
                       {"proxy", choice.proxy.empty() ? "none" : choice.proxy},
                       {"service-bypassed", bypassed ? "yes" : "no"},
                       {"auto-detect", choice.autoDetect ? "on" : "off"}});
    return choice;
}

bool detectionMayFollow(const ProxyChoice& choice)
{
    return choice.autoDetect && choice.proxy.empty();
}

ProxyChoice afterUnreachable(const std::string& url, const ProxyChoice& choice, int curlCode,
                             long long receivedBytes, Deadline deadline)
{
    if (!isUnreachable(curlCode, receivedBytes) || !detectionMayFollow(choice)) {
        return choice;
    }
    ProxyChoice detected = choice;
    detected.autoDetect = false; // detection is tried once a run
    std::string proxies;
    if (autoProxyAnswer(url, {}, deadline, proxies)) {
        detected.proxy = proxyForScheme(proxies, urlScheme(url));
    }
    detected.mode = detected.proxy.empty() ? "direct" : "detected";
    logEvent("proxy", {{"mode", detected.mode}, {"proxy", detected.proxy.empty() ? "none" : detected.proxy}});
    return detected;
}
