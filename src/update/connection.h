// The settings that both requests to the release service share: TLS, the launcher's name,
// which redirects are followed, and the user's proxy.
#pragma once

#include "curl_handle.h"
#include "network_setup.h"

#include <chrono>
#include <string>

using Deadline = std::chrono::steady_clock::time_point;

// A libcurl handle for url with those settings; empty when libcurl cannot make one. The first
// call decides the proxy for the whole run, and gives a configuration script until
// proxyDeadline to answer.
CurlHandle openServiceRequest(const std::string& url, Deadline proxyDeadline = Deadline::max());

// True when a direct request that cannot reach the service would be followed by automatic
// proxy detection.
bool detectionMayFollow();

// After a request to url that ended with result, having received receivedBytes: true when the
// user's settings ask for automatic proxy detection, the request went direct and could not
// reach the host, and a proxy was found before deadline; the request is then worth one more
// try, which will use it.
bool foundProxyAfterFailure(const std::string& url, CURLcode result, long long receivedBytes,
                            Deadline deadline);
