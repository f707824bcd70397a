// Both requests to the release service go out the same way. TLS 1.2 or newer only, certificate
// verification left on (Schannel checks against Windows' own trusted roots), redirects only to
// the service's own scheme, and the proxy that the user's Windows settings name.
#include "connection.h"

#include "proxy_settings.h"
#include "wide_text.h"

#include <winhttp.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <memory>

namespace {

const char* const userAgent = "klv-launcher/" KLV_VERSION;

// A configuration script or a WPAD look-up that takes longer than this is given up: the
// launcher then goes direct, as it would without a proxy.
constexpr int proxyLookupMilliseconds = 3000;

// Decided once a run, at the first request, and used by every request after it.
struct ProxyChoice {
    bool decided = false;
    bool autoDetect = false; // the user's settings ask for automatic detection
    bool detectTried = false;
    std::string proxy; // host:port, or empty for a direct connection
    std::string noProxy;
};

ProxyChoice& proxyChoice()
{
    static ProxyChoice choice;
    return choice;
}

// libcurl reads these itself, and its users expect them to win over anything else.
bool proxyFromEnvironment()
{
    const char* const names[] = {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"};
    return std::any_of(std::begin(names), std::end(names), [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    });
}

using InternetHandle = std::unique_ptr<void, decltype(&WinHttpCloseHandle)>;

// The proxy that a configuration script, or WPAD, names for url; empty for none or DIRECT.
std::string proxyFromAutoConfiguration(const std::string& url, const wchar_t* scriptUrl)
{
    const InternetHandle session(WinHttpOpen(L"klv-launcher", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                             WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0),
                                 &WinHttpCloseHandle);
    if (!session) {
        return {};
    }
    (void)WinHttpSetTimeouts(session.get(), proxyLookupMilliseconds, proxyLookupMilliseconds,
                             proxyLookupMilliseconds, proxyLookupMilliseconds);
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (scriptUrl != nullptr) {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = scriptUrl;
    } else {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    WINHTTP_PROXY_INFO info{};
    std::string proxy;
    if (WinHttpGetProxyForUrl(session.get(), widen(url).c_str(), &options, &info) != FALSE) {
        if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
            proxy = proxyForScheme(narrow(info.lpszProxy), urlScheme(url));
        }
        (void)GlobalFree(info.lpszProxy);
        (void)GlobalFree(info.lpszProxyBypass);
    }
    return proxy;
}

// The current user's proxy settings, as Windows programs use them: a configuration script or
// a fixed proxy at once. Automatic detection (on by default) is left until a direct request
// fails, so that the many users with nothing to detect do not pay for the look-up at every start.
void decideProxy(const std::string& url)
{
    ProxyChoice& choice = proxyChoice();
    if (choice.decided) {
        return;
    }
    choice.decided = true;
    if (proxyFromEnvironment()) {
        return;
    }
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings{};
    if (WinHttpGetIEProxyConfigForCurrentUser(&settings) == FALSE) {
        return;
    }
    choice.autoDetect = settings.fAutoDetect != FALSE;
    if (settings.lpszAutoConfigUrl != nullptr) {
        choice.proxy = proxyFromAutoConfiguration(url, settings.lpszAutoConfigUrl);
        choice.autoDetect = false; // the script has spoken
    }
    if (choice.proxy.empty() && settings.lpszProxy != nullptr) {
        choice.proxy = proxyForScheme(narrow(settings.lpszProxy), urlScheme(url));
    }
    bool bypassLocal = false;
    choice.noProxy = noProxyList(narrow(settings.lpszProxyBypass), bypassLocal);
    // "<local>": names without a dot go direct; libcurl has no such rule, so apply it here.
    if (bypassLocal && urlHost(url).find('.') == std::string::npos) {
        choice.proxy.clear();
    }
    (void)GlobalFree(settings.lpszAutoConfigUrl);
    (void)GlobalFree(settings.lpszProxy);
    (void)GlobalFree(settings.lpszProxyBypass);
}

} // namespace

CurlHandle openServiceRequest(const std::string& url)
{
    CurlHandle curl = makeCurlHandle();
    if (!curl) {
        return curl;
    }
    decideProxy(url);
    const ProxyChoice& choice = proxyChoice();
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_USERAGENT, userAgent);
    // Windows 7's Schannel offers TLS 1.2 only to programs that ask for it, and the download
    // hosts refuse anything older.
    curl_easy_setopt(curl.get(), CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    // Schannel's default fails every request when the certificate revocation servers cannot be
    // reached, as behind TLS-inspecting company proxies. Best effort still refuses a revoked
    // certificate whenever the check can be made.
    curl_easy_setopt(curl.get(), CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
    // A service reached over HTTPS is never left for plain HTTP, not even by a redirect.
    const char* const protocols = urlScheme(url) == "https" ? "https" : "http,https";
    curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(curl.get(), CURLOPT_REDIR_PROTOCOLS_STR, protocols);
    if (!choice.proxy.empty()) {
        const std::string proxyUrl = "http://" + choice.proxy;
        curl_easy_setopt(curl.get(), CURLOPT_PROXY, proxyUrl.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, choice.noProxy.c_str());
        // The signed-in user's own credentials through SSPI: no password is asked for or stored.
        curl_easy_setopt(curl.get(), CURLOPT_PROXYAUTH,
                         static_cast<long>(CURLAUTH_NEGOTIATE | CURLAUTH_NTLM));
        curl_easy_setopt(curl.get(), CURLOPT_PROXYUSERPWD, ":");
    }
    return curl;
}

bool foundProxyAfterFailure(const std::string& url, CURLcode result)
{
    ProxyChoice& choice = proxyChoice();
    const bool unreachable = result == CURLE_COULDNT_CONNECT || result == CURLE_COULDNT_RESOLVE_HOST;
    if (!unreachable || !choice.autoDetect || !choice.proxy.empty() || choice.detectTried) {
        return false;
    }
    choice.detectTried = true;
    choice.proxy = proxyFromAutoConfiguration(url, nullptr);
    return !choice.proxy.empty();
}
