// The settings that every request to the release service shares: TLS, the launcher's name,
// which redirects are allowed, and the proxy of the run's choice.
#pragma once

#include "curl_handle.h"
#include "proxy_settings.h"

#include <string>

// A libcurl handle for url with those settings, going through the proxy that choice gives for
// url's host (direct for a host of the bypass list); empty when libcurl cannot make one. Waits
// for libcurl's global set-up first.
CurlHandle openServiceRequest(const std::string& url, const ProxyChoice& choice);

// The host that libcurl connects to for url, read with libcurl's own URL parser: lower-cased, an
// IPv6 address in its brackets, without user name, password or port; empty when url is not an
// absolute URL libcurl would take.
std::string urlHost(const std::string& url);

// "scheme://host" of url, for the log and the Event Log: never a user name, password, path or
// query string.
std::string urlOrigin(const std::string& url);

// The proxy ("host:port") that a request to url takes under choice: empty for a direct request,
// such as one to a host of the bypass list.
std::string proxyForUrl(const ProxyChoice& choice, const std::string& url);
