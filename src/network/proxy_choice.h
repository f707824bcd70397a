// Which proxy the requests of a run take: decided once, from the environment or the user's
// Windows settings, and handed to every request as a value.
#pragma once

#include "platform/wait_time.h"
#include "proxy_settings.h"

#include <string>

// The proxy for requests to url: a proxy variable of the environment that libcurl reads for its
// scheme wins (libcurl applies it, no_proxy included); otherwise the user's Windows settings,
// where a configuration script has until deadline to answer.
ProxyChoice decideProxy(const std::string& url, Deadline deadline);

// True when choice goes direct and automatic detection may still find a proxy, should a direct
// request not reach its host.
bool detectionMayFollow(const ProxyChoice& choice);

// After a direct request to url that ended with curlCode, having received receivedBytes: when
// it could not reach its host and detection may follow, the choice with the proxy that detection
// finds before deadline (detection is then spent, found or not); otherwise choice as it is.
ProxyChoice afterUnreachable(const std::string& url, const ProxyChoice& choice, int curlCode,
                             long long receivedBytes, Deadline deadline);
