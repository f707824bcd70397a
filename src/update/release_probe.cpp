// Sends the header-only request to the release service and compares the version it names
// with the installed one.
#include "release_probe.h"

#include "diagnostics/log.h"
#include "header_version.h"
#include "network/connection.h"
#include "network/proxy_choice.h"
#include "network/transfer_result.h"
#include "platform/wait_time.h"
#include "versions/versions.h"

#include <chrono>

namespace {

// The request has no body: name resolution, the TCP and TLS handshakes and one short response,
// about six round trips. The whole probe, a retry through a detected proxy included, has this
// long: a link with a round trip of a second (a congested mobile or satellite link) still
// finishes, while a service that never answers or an address that drops every packet delays
// the start of the application by at most this much. Missing an update once is harmless: the
// next start asks again.
constexpr long probeBudgetMilliseconds = 7000;
// A configuration script that has not answered by this share of the budget is given up, and the
// request goes direct with the rest.
constexpr long proxyShareOfBudget = 2;
// A retry with less time than this left is not worth starting.
constexpr long shortestRetryMilliseconds = 1000;
// Where a direct request that cannot connect is followed by proxy detection, it may take this
// share of the budget to connect, so that the detection and the retry have the rest: a firewall
// that drops packets without a word is told from a slow link this way.
constexpr long connectShareWhenDetecting = 2;

// A request's own time is measured by libcurl, in milliseconds of a long: never more than the
// whole budget.
constexpr unsigned long longestRequestMilliseconds = probeBudgetMilliseconds;

// One header-only request; the service's redirect itself names the installer, so it is not
// followed.
CURLcode probe(const std::string& apiUrl, const ProxyChoice& proxy, std::string& headerBuffer,
               Deadline deadline, long& status)
{
    status = 0;
    const auto started = std::chrono::steady_clock::now();
    const CurlHandle curl = openServiceRequest(apiUrl, proxy);
    if (!curl) {
        return CURLE_FAILED_INIT;
    }
    // Whatever the proxy look-up took has come off the request's own time.
    const auto milliseconds = static_cast<long>(millisecondsUntil(deadline, longestRequestMilliseconds));
    if (milliseconds <= 0) {
        return CURLE_OPERATION_TIMEDOUT;
    }
    if (detectionMayFollow(proxy)) {
        curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, milliseconds / connectShareWhenDetecting);
    }
    curl_easy_setopt(curl.get(), CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl.get(), CURLOPT_HEADERFUNCTION, header_callback);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERDATA, &headerBuffer);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, milliseconds);
    const CURLcode result = curl_easy_perform(curl.get());
    (void)curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    logEvent("probe", {{"host", urlHost(apiUrl)},
                       {"status", std::to_string(status)},
                       {"curl", std::to_string(result)},
                       {"curl-text", transferResultText(result)},
                       {"ms", std::to_string(millisecondsSince(started))}});
    // Only the service's redirect names the newest installer; an error page or any other
    // answer that happens to mention an installer does not.
    return result == CURLE_OK && (status < 300 || status > 399) ? CURLE_HTTP_RETURNED_ERROR : result;
}

} // namespace

ProbeBudget startProbeBudget()
{
    // One budget for the whole check: proxy look-ups, detection and every request.
    const auto started = std::chrono::steady_clock::now();
    const auto budget = std::chrono::milliseconds(probeBudgetMilliseconds);
    return {started + budget / proxyShareOfBudget, started + budget};
}

bool getURLVersion(const std::string& apiUrl, const std::string& javaVerLet, std::string& javaVerURL,
                   ProxyChoice& proxy, Deadline deadline, ProbeAnswer* answer)
{
    std::string headerBuffer;
    long status = 0;
    CURLcode result = probe(apiUrl, proxy, headerBuffer, deadline, status);
    // Detection must leave time for the request it is for.
    const auto shortestRetry = std::chrono::milliseconds(shortestRetryMilliseconds);
    const ProxyChoice detected = afterUnreachable(
        apiUrl, proxy, result, static_cast<long long>(headerBuffer.size()), deadline - shortestRetry);
    const bool found = !detected.proxy.empty() && detected.proxy != proxy.proxy;
    proxy = detected;
    if (found && std::chrono::steady_clock::now() + shortestRetry <= deadline) {
        headerBuffer.clear();
        result = probe(apiUrl, proxy, headerBuffer, deadline, status);
    }
    if (answer != nullptr) {
        answer->status = status;
        answer->retryAfter = lastResponseHeader(headerBuffer, "Retry-After");
        answer->reached = result == CURLE_OK || result == CURLE_HTTP_RETURNED_ERROR;
        answer->failure = answer->reached ? std::string() : transferResultText(result);
    }
    // Headers of a transfer that failed or timed out are not trusted, even when partial.
    javaVerURL = result == CURLE_OK ? versionFromHeaders(headerBuffer) : std::string();
    // Without a known newest version there is nothing to offer, whatever is installed; and
    // an installed runtime that is as new or newer is never "updated" to an older one.
    const bool offered =
        !javaVerURL.empty() && (javaVerLet.empty() || isNewerVersion(javaVerURL, javaVerLet));
    const char* verdict = result == CURLE_HTTP_RETURNED_ERROR ? "no redirect"
                          : result != CURLE_OK                ? "no answer"
                          : javaVerURL.empty()                ? "no installer name"
                          : offered                           ? "newer"
                                                              : "not newer";
    logEvent("newest", {{"version", javaVerURL.empty() ? "none" : javaVerURL}, {"verdict", verdict}});
    return offered;
}
