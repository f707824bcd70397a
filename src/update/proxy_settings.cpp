// The rules that map WinHTTP's proxy lists onto libcurl's options.
#include "proxy_settings.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

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

// Host names, IPv4 addresses and ports: letters, digits, "-", "." and one ":" before the port.
// The text reaches libcurl as a proxy URL, so nothing else is let through.
bool isPlainHostAndPort(const std::string& text)
{
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return std::isalnum(c) != 0 || c == '-' || c == '.' || c == ':';
    });
    return plain && std::count(text.begin(), text.end(), ':') <= 1 && text.front() != ':';
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
        if (schemeEnd != std::string::npos && lowered(proxy.substr(0, schemeEnd)) == "http") {
            proxy = proxy.substr(schemeEnd + 3);
        }
        if (!isPlainHostAndPort(proxy)) {
            continue;
        }
        if (equals == std::string::npos) {
            forAll = forAll.empty() ? proxy : forAll;
        } else if (lowered(entry.substr(0, equals)) == scheme) {
            return proxy;
        }
    }
    return forAll;
}

std::string noProxyList(const std::string& bypassList, bool& bypassLocal)
{
    bypassLocal = false;
    std::string list;
    for (std::string entry : entries(bypassList)) {
        if (lowered(entry) == "<local>") {
            bypassLocal = true;
            continue;
        }
        // libcurl matches a name and every name below it: "*.corp.example" is "corp.example".
        if (entry.rfind("*.", 0) == 0) {
            entry = entry.substr(2);
        }
        if (isPlainHostAndPort(entry) && entry.find(':') == std::string::npos) {
            list += (list.empty() ? "" : ",") + lowered(entry);
        }
    }
    return list;
}

std::string urlScheme(const std::string& url)
{
    const std::string::size_type end = url.find("://");
    return end == std::string::npos ? std::string() : lowered(url.substr(0, end));
}

std::string urlHost(const std::string& url)
{
    const std::string::size_type schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos) {
        return {};
    }
    const std::string::size_type start = schemeEnd + 3;
    const std::string::size_type end = url.find_first_of(":/?#", start);
    return lowered(url.substr(start, end == std::string::npos ? std::string::npos : end - start));
}
