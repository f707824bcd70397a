// Sends the header-only request to the release service and compares the version it names
// with the installed one.
#include "release_probe.h"

#include "connection.h"
#include "header_version.h"

namespace {

// The request has no body: name resolution, TCP and TLS handshakes and one short response.
// A slow but working link (high-latency mobile, a busy proxy) does all of that within a few
// seconds; these limits give it several times that, while a dead link delays the start of
// the application by at most half a minute.
constexpr long probeConnectTimeoutSeconds = 10;
constexpr long probeTotalTimeoutSeconds = 20;

// One header-only request; the service's redirect itself names the installer, so it is not
// followed.
CURLcode probe(const std::string& apiUrl, std::string& headerBuffer)
{
    const CurlHandle curl = openServiceRequest(apiUrl);
    if (!curl) {
        return CURLE_FAILED_INIT;
    }
    curl_easy_setopt(curl.get(), CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl.get(), CURLOPT_HEADERFUNCTION, header_callback);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERDATA, &headerBuffer);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, probeConnectTimeoutSeconds);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, probeTotalTimeoutSeconds);
    const CURLcode result = curl_easy_perform(curl.get());
    long status = 0;
    (void)curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    // Only the service's redirect names the newest installer; an error page or any other
    // answer that happens to mention an installer does not.
    return result == CURLE_OK && (status < 300 || status > 399) ? CURLE_HTTP_RETURNED_ERROR : result;
}

} // namespace

bool getURLVersion(const std::string& apiUrl, const std::string& javaVerLet, std::string& javaVerURL)
{
    std::string headerBuffer;
    CURLcode result = probe(apiUrl, headerBuffer);
    if (foundProxyAfterFailure(apiUrl, result)) {
        headerBuffer.clear();
        result = probe(apiUrl, headerBuffer);
    }
    // Headers of a transfer that failed or timed out are not trusted, even when partial.
    javaVerURL = result == CURLE_OK ? versionFromHeaders(headerBuffer) : std::string();
    // Without a known newest version there is nothing to offer, whatever is installed.
    return !javaVerURL.empty() && javaVerLet != javaVerURL;
}
