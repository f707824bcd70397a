// Turns the Windows proxy settings (as WinHTTP reports them) into libcurl's terms. No platform
// header: the rules are tested on their own.
#pragma once

#include <string>
#include <vector>

// The proxy for a URL of scheme ("http" or "https") from a WinHTTP proxy list: either one
// "host:port" for every scheme, or per-scheme entries "http=host:port;https=host:port"
// separated by ";" or spaces. Empty when the list names none for that scheme. Only plain host
// names, IPv4 addresses and bracketed IPv6 addresses with or without a port are taken (without
// one, port 80, as Windows reads such an entry); anything else is refused.
std::string proxyForScheme(const std::string& proxyList, const std::string& scheme);

// True when the user's bypass list ("*.corp.example;<local>;10.*") sends host (lower case, an
// IPv6 address in its brackets, as urlHost gives it) direct, by Windows' rules: entries separated by ";", ","
// or white space; "*" stands for any text anywhere in an entry; a name without "*" is that one host, not the
// hosts below it; "<local>" is every host name without a dot (not an IPv6 address); addresses are compared as
// text, without regard to case. "<-loopback>" (take loopback out of the list) matches nothing, as loopback is
// never bypassed of itself here.
bool isBypassed(const std::string& host, const std::string& bypassList);

// The scheme of url ("https"), lower-cased; empty when it has none.
std::string urlScheme(const std::string& url);

// What the user's Windows settings say about the proxy, as WinHTTP reports it.
struct ProxySources {
    bool scriptAnswered = false; // a configuration script (or WPAD) was fetched and run
    std::string scriptProxies;   // its answer as a WinHTTP proxy list; empty for DIRECT
    std::string fixedProxies;    // the fixed proxy list of the same settings
};

// The proxy ("host:port") for a URL of scheme; empty for a direct connection.
std::string proxyFromSettings(const ProxySources& sources, const std::string& scheme);

// How the requests of one run go out, decided once before the first: the proxy (or none) with the
// user's bypass list, and whether automatic detection may still find one.
struct ProxyChoice {
    const char* mode = "direct"; // for the log: environment, direct, fixed, script or detected
    std::string proxy;           // host:port; empty: direct, or the environment's variables
    std::string bypassList;      // the user's list of hosts reached directly, in Windows' terms
    bool autoDetect = false;     // a direct request that cannot reach its host may look for one
};

// The proxy ("host:port") that a request to host (as urlHost gives it) takes under choice: empty
// for a direct request, such as one to a host of the bypass list.
std::string proxyForHost(const ProxyChoice& choice, const std::string& host);

// The environment variables that libcurl reads for a URL of scheme, in its order.
std::vector<std::string> proxyVariables(const std::string& scheme);

// A proxy URL from the environment as the log may show it: host and port, without scheme,
// credentials or path.
std::string proxyForLog(const std::string& proxyUrl);

// The flags of the user's DefaultConnectionSettings registry value (connection* below), or -1
// when the data is too short or names flags that no Windows writes.
constexpr int connectionDirect = 0x1;
constexpr int connectionFixedProxy = 0x2;
constexpr int connectionScript = 0x4;
constexpr int connectionAutoDetect = 0x8;
int connectionSettingsFlags(const std::vector<unsigned char>& data);
