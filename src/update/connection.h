// The settings that both requests to the release service share: TLS, the launcher's name,
// which redirects are followed, and the user's proxy.
#pragma once

#include "curl_handle.h"

#include <string>

// A libcurl handle for url with those settings; empty when libcurl cannot make one.
CurlHandle openServiceRequest(const std::string& url);

// After a request to url that ended with result: true when the user's settings ask for
// automatic proxy detection, the request went direct and could not reach the host, and a proxy
// has now been found; the request is then worth one more try, which will use it.
bool foundProxyAfterFailure(const std::string& url, CURLcode result);
