// Turns the Windows proxy settings (as WinHTTP reports them) into libcurl's terms. No platform
// header: the rules are tested on their own.
#pragma once

#include <string>

// The proxy for a URL of scheme ("http" or "https") from a WinHTTP proxy list: either one
// "host:port" for every scheme, or per-scheme entries "http=host:port;https=host:port"
// separated by ";" or spaces. Empty when the list names none for that scheme. Only plain host
// names, addresses and ports are taken; anything else is refused.
std::string proxyForScheme(const std::string& proxyList, const std::string& scheme);

// A WinHTTP bypass list ("*.corp.example;<local>;10.0.0.1") as a libcurl no-proxy list
// ("corp.example,10.0.0.1"). "<local>" (host names without a dot) has no libcurl equivalent and is
// reported through bypassLocal instead.
std::string noProxyList(const std::string& bypassList, bool& bypassLocal);

// The scheme and host of url ("https", "api.adoptium.net"), lower-cased; empty when it has none.
std::string urlScheme(const std::string& url);
std::string urlHost(const std::string& url);
