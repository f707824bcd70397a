// Sends the header-only request to the release service and compares the version it names
// with the installed one.
#include "release_probe.h"

#include "curl_handle.h"
#include "header_version.h"

namespace {

// The request has no body: name resolution, TCP and TLS handshakes and one short response.
// A slow but working link (high-latency mobile, a busy proxy) does all of that within a few
// seconds; these limits give it several times that, while a dead link delays the start of
// the application by at most half a minute.
constexpr long probeConnectTimeoutSeconds = 10;
constexpr long probeTotalTimeoutSeconds = 20;

} // namespace

bool getURLVersion(const std::string& apiUrl, const std::string& javaVerLet, std::string& javaVerURL)
{
    std::string headerBuffer;
    CURLcode result = CURLE_FAILED_INIT;
    if (CurlHandle curl = makeCurlHandle()) {
        curl_easy_setopt(curl.get(), CURLOPT_URL, apiUrl.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_NOBODY, 1L);
        curl_easy_setopt(curl.get(), CURLOPT_ACCEPT_ENCODING, "");
        curl_easy_setopt(curl.get(), CURLOPT_HEADERFUNCTION, header_callback);
        curl_easy_setopt(curl.get(), CURLOPT_HEADERDATA, &headerBuffer);
        curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, probeConnectTimeoutSeconds);
        curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, probeTotalTimeoutSeconds);
        // Redirects are deliberately not followed: the redirect itself names the installer.
        result = curl_easy_perform(curl.get());
    }
    // Headers of a transfer that failed or timed out are not trusted, even when partial.
    javaVerURL = result == CURLE_OK ? versionFromHeaders(headerBuffer) : std::string();
    // Without a known newest version there is nothing to offer, whatever is installed.
    return !javaVerURL.empty() && javaVerLet != javaVerURL;
}
