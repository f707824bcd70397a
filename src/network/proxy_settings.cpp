// The rules that map WinHTTP's proxy lists onto libcurl's options.
#include "proxy_settings.h"

#include "platform/ascii_case.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

std::vector<std::string> entries(const std::string& list)
{
    std::vector<std::string> found;
    std::string current;
    for (const char c : list + ";") {
        if (c == ';' || c == ' ' || c == '\t' || c == ',') {
            if (!current.empty()) {
                found.push_back(current);
            }
            current.clear();
        } else {
            current += c;
        }
    }
    return found;
}

// True when text matches pattern as a whole, "*" in pattern standing for any run of characters.
bool matchesWildcard(const std::string& text, const std::string& pattern)
{
    std::string::size_type at = 0;
    std::string::size_type patternAt = 0;
    std::string::size_type star = std::string::npos; // the last "*" seen in pattern
    std::string::size_type starAt = 0;               // where in text that "*" began to match
    while (at < text.size()) {
        if (patternAt < pattern.size() && pattern[patternAt] == '*') {
            star = patternAt++;
            starAt = at;
        } else if (patternAt < pattern.size() && pattern[patternAt] == text[at]) {
            ++patternAt;
            ++at;
        } else if (star != std::string::npos) {
            patternAt = star + 1; // the last "*" takes one more character
            at = ++starAt;
        } else {
            return false;
        }
    }
    return pattern.find_first_not_of('*', patternAt) == std::string::npos;
}

bool isPort(const std::string& text)
{
    return !text.empty() && text.size() <= 5
           && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// Host names and IPv4 addresses: letters, digits, "-" and ".".
bool isPlainHost(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return std::isalnum(c) != 0 || c == '-' || c == '.';
    });
}

// An IPv6 literal in brackets: "[fd00::1]".
bool isBracketedAddress(const std::string& text)
{
    return text.size() > 2 && text.front() == '[' && text.back() == ']'
           && std::all_of(text.begin() + 1, text.end() - 1,
                          [](unsigned char c) { return std::isxdigit(c) != 0 || c == ':' || c == '.'; });
}

// "host:port", "host", "[v6]:port" or "[v6]" as "host:port", a missing port being 80 as
// Windows takes it; empty for anything else. The text reaches libcurl as a proxy URL, so
// nothing else is let through.
std::string hostAndPort(const std::string& text)
{
    const std::string::size_type close = text.rfind(']');
    const std::string::size_type colon = text.rfind(':');
    const bool hasPort = colon != std::string::npos && (close == std::string::npos || colon > close);
    const std::string host = hasPort ? text.substr(0, colon) : text;
    const std::string port = hasPort ? text.substr(colon + 1) : "80";
    return (isPlainHost(host) || isBracketedAddress(host)) && isPort(port) ? host + ":" + port
                                                                           : std::string();
}

} // namespace

std::string proxyForScheme(const std::string& proxyList, const std::string& scheme)
{
    std::string forAll;
    for (const std::string& entry : entries(proxyList)) {
        const std::string::size_type equals = entry.find('=');
        std::string proxy = equals == std::string::npos ? entry : entry.substr(equals + 1);
        // WinHTTP accepts "http://host:port" as well as "host:port".
        const std::string::size_type schemeEnd = proxy.find("://");
        if (schemeEnd != std::string::npos && asciiLowered(proxy.substr(0, schemeEnd)) == "http") {
            proxy = proxy.substr(schemeEnd + 3);
        }
        proxy = hostAndPort(proxy);
        if (proxy.empty()) {
            continue;
        }
        if (equals == std::string::npos) {
            forAll = forAll.empty() ? proxy : forAll;
        } else if (asciiLowered(entry.substr(0, equals)) == scheme) {
            return proxy;
        }
    }
    return forAll;
}

bool isBypassed(const std::string& host, const std::string& bypassList)
{
    if (host.empty()) {
        return false;
    }
    const std::vector<std::string> rules = entries(asciiLowered(bypassList));
    return std::any_of(rules.begin(), rules.end(), [&host](const std::string& rule) {
        if (rule == "<local>") {
            // A name without a dot; an IPv6 address has none either, but it is no name.
            return host.find('.') == std::string::npos && host.front() != '[';
        }
        // Other names in angle brackets ("<-loopback>") are switches, never hosts.
        return rule.front() != '<' && matchesWildcard(host, rule);
    });
}

std::string urlScheme(const std::string& url)
{
    const std::string::size_type end = url.find("://");
    return end == std::string::npos ? std::string() : asciiLowered(url.substr(0, end));
}

std::string proxyFromSettings(const ProxySources& sources, const std::string& scheme)
{
    // A script's answer stands, DIRECT included; the fixed proxy is only for a script that
    // could not be fetched or run, as Windows has it.
    return sources.scriptAnswered ? proxyForScheme(sources.scriptProxies, scheme)
                                  : proxyForScheme(sources.fixedProxies, scheme);
}

std::string proxyForHost(const ProxyChoice& choice, const std::string& host)
{
    return choice.proxy.empty() || isBypassed(host, choice.bypassList) ? std::string() : choice.proxy;
}

std::vector<std::string> proxyVariables(const std::string& scheme)
{
    // libcurl reads http_proxy only in lower case: a CGI program's HTTP_PROXY comes from a
    // request header.
    if (scheme == "http") {
        return {"http_proxy", "all_proxy", "ALL_PROXY"};
    }
    return {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"};
}

std::string proxyForLog(const std::string& proxyUrl)
{
    const std::string::size_type schemeEnd = proxyUrl.find("://");
    std::string rest = schemeEnd == std::string::npos ? proxyUrl : proxyUrl.substr(schemeEnd + 3);
    // Credentials never reach the log: "user:password@host:port" is logged as "host:port".
    const std::string::size_type at = rest.rfind('@');
    rest = at == std::string::npos ? rest : rest.substr(at + 1);
    return rest.substr(0, rest.find_first_of("/?#"));
}

int connectionSettingsFlags(const std::vector<unsigned char>& data)
{
    // A version, a change counter and the flags, each a little-endian 32-bit number.
    constexpr std::size_t flagsEnd = 12;
    if (data.size() < flagsEnd) {
        return -1;
    }
    unsigned flags = 0;
    for (std::size_t at = flagsEnd; at > flagsEnd - 4; --at) {
        flags = (flags << 8U) | data[at - 1];
    }
    constexpr unsigned knownFlags =
        connectionDirect | connectionFixedProxy | connectionScript | connectionAutoDetect;
    return (flags & ~knownFlags) == 0 ? static_cast<int>(flags) : -1;
}
