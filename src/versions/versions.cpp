// Converts versions between letter form and dotted form. Well-formed versions are converted
// by number so that two-digit builds survive the round trip; anything else falls back to
// plain text replacement. Written out by hand: std::regex would cost the launcher a third of
// its size for three fixed patterns.
#include "versions.h"

#include <array>

namespace {

using Numbers = std::array<unsigned long, 3>;
using Longest = std::array<std::string::size_type, 3>;

// Each number is limited to nine digits so that it always fits an unsigned long.
constexpr Longest anyNumbers = {9, 9, 9};
// Real versions are short: major 8, an update in the hundreds, a build below 100.
constexpr Longest sensibleNumbers = {3, 4, 4};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads a run of one to longest ASCII digits at `at` into number; false when there is none or
// the run is longer.
bool readNumber(const std::string& text, std::string::size_type& at, std::string::size_type longest,
                unsigned long& number)
{
    const std::string::size_type start = at;
    number = 0;
    while (at < text.size() && isDigit(text[at])) {
        if (at - start == longest) {
            return false;
        }
        number = number * 10 + static_cast<unsigned long>(text[at] - '0');
        ++at;
    }
    return at > start;
}

// Moves past separator at `at`, if it stands there.
bool skip(const std::string& text, std::string::size_type& at, const char* separator)
{
    const std::string::size_type length = std::char_traits<char>::length(separator);
    if (text.compare(at, length, separator) != 0) {
        return false;
    }
    at += length;
    return true;
}

// True when text is exactly three runs of ASCII digits (of at most longest[i] digits each)
// with the separators between them; numbers then holds their values.
bool readNumbers(const std::string& text, const char* first, const char* second, const Longest& longest,
                 Numbers& numbers)
{
    std::string::size_type at = 0;
    return readNumber(text, at, std::get<0>(longest), std::get<0>(numbers)) && skip(text, at, first)
           && readNumber(text, at, std::get<1>(longest), std::get<1>(numbers)) && skip(text, at, second)
           && readNumber(text, at, std::get<2>(longest), std::get<2>(numbers)) && at == text.size();
}

// Replaces every occurrence of from, scanning left to right; replaced text is not searched again.
std::string replaceAll(const std::string& text, const std::string& from, const std::string& to)
{
    std::string result;
    std::string::size_type at = 0;
    for (std::string::size_type found = text.find(from); found != std::string::npos;
         found = text.find(from, at)) {
        result.append(text, at, found - at).append(to);
        at = found + from.size();
    }
    return result.append(text, at, std::string::npos);
}

// Installer names write the build with at least two digits: 8u432b06, 8u292b10.
std::string twoDigitBuild(unsigned long build)
{
    return (build < 10 ? "0" : "") + std::to_string(build);
}

// The one major version the launcher asks the release service for.
constexpr unsigned long wantedMajor = 8;

} // namespace

std::string highestJava8Version(const std::vector<std::string>& names)
{
    const std::string* highest = nullptr;
    Numbers highestNumbers{};
    for (const std::string& name : names) {
        Numbers numbers{};
        if (readNumbers(name, ".0.", ".", anyNumbers, numbers) && numbers[0] == wantedMajor
            && (highest == nullptr || numbers > highestNumbers)) {
            highest = &name;
            highestNumbers = numbers;
        }
    }
    return highest != nullptr ? *highest : std::string();
}

std::string dotToLet(const std::string& version)
{
    Numbers numbers{};
    if (readNumbers(version, ".0.", ".", anyNumbers, numbers)) {
        return std::to_string(numbers[0]) + "u" + std::to_string(numbers[1]) + "b"
               + twoDigitBuild(numbers[2]);
    }
    return replaceAll(replaceAll(version, ".0.", "u"), ".", "b0");
}

// The version is taken by value, as a copy that belongs to the conversion.
// cppcheck-suppress passedByValue ; the conversion takes its own copy, as callers expect
std::string letToDot(std::string version) // NOLINT(performance-unnecessary-value-param)
{
    Numbers numbers{};
    if (readNumbers(version, "u", "b", anyNumbers, numbers)) {
        return std::to_string(numbers[0]) + ".0." + std::to_string(numbers[1]) + "."
               + std::to_string(numbers[2]);
    }
    std::string dotted = replaceAll(version, "b0", ".");
    const std::string::size_type firstU = dotted.find('u');
    if (firstU != std::string::npos) {
        dotted.replace(firstU, 1, ".0.");
    }
    return dotted;
}

bool isLetterVersion(const std::string& version)
{
    Numbers numbers{};
    return readNumbers(version, "u", "b", sensibleNumbers, numbers);
}

bool isNewerVersion(const std::string& candidate, const std::string& installed)
{
    Numbers offered{};
    Numbers present{};
    if (!readNumbers(candidate, "u", "b", anyNumbers, offered)) {
        return false;
    }
    return !readNumbers(installed, "u", "b", anyNumbers, present) || offered > present;
}
