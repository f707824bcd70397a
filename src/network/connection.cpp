// Every request to the release service goes out the same way: TLS 1.2 or newer only,
// certificate verification left on (Schannel checks against Windows' own trusted roots),
// redirects only to the service's own scheme, and the proxy of the run's choice.
#include "connection.h"

#include "platform/ascii_case.h"

#include <memory>

namespace {

const char* const userAgent = "klv-launcher/" KLV_VERSION;

using UrlHandle = std::unique_ptr<CURLU, decltype(&curl_url_cleanup)>;

} // namespace

std::string urlHost(const std::string& url)
{
    // The same parser that libcurl's requests use: "https://a.example:x@b.example/" goes to
    // b.example, and "https://[fd00::5]/" to [fd00::5].
    const UrlHandle parsed(curl_url(), &curl_url_cleanup);
    char* host = nullptr;
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK
        || curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK || host == nullptr) {
        return {};
    }
    std::string text = host;
    curl_free(host);
    return asciiLowered(text);
}

std::string urlOrigin(const std::string& url)
{
    return urlScheme(url) + "://" + urlHost(url);
}

std::string proxyForUrl(const ProxyChoice& choice, const std::string& url)
{
    return proxyForHost(choice, urlHost(url));
}

CurlHandle openServiceRequest(const std::string& url, const ProxyChoice& choice)
{
    CurlHandle curl = makeCurlHandle();
    if (!curl) {
        return curl;
    }
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
    const std::string proxy = proxyForUrl(choice, url);
    if (proxy.empty() && std::string(choice.mode) != "environment") {
        // Direct is direct: without this, libcurl would take a proxy variable of the
        // environment for this hop's scheme, which the run's choice has not chosen.
        curl_easy_setopt(curl.get(), CURLOPT_PROXY, "");
    } else if (!proxy.empty()) {
        const std::string proxyUrl = "http://" + proxy;
        curl_easy_setopt(curl.get(), CURLOPT_PROXY, proxyUrl.c_str());
        // The bypass list is applied above, by Windows' rules; a no_proxy of the environment is
        // not for the user's Windows proxy.
        curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, "");
        // The signed-in user's own credentials through SSPI: no password is asked for or stored.
        curl_easy_setopt(curl.get(), CURLOPT_PROXYAUTH,
                         static_cast<long>(CURLAUTH_NEGOTIATE | CURLAUTH_NTLM));
        curl_easy_setopt(curl.get(), CURLOPT_PROXYUSERPWD, ":");
    }
    return curl;
}
