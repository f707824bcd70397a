// Comparing ASCII text without regard to case, as names in HTTP headers, URL schemes and
// certificate organisations are compared. No platform header.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>

inline bool sameIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x))
                      == std::tolower(static_cast<unsigned char>(y));
           });
}

// text with its ASCII letters in lower case, as host names and schemes are compared.
inline std::string asciiLowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}
