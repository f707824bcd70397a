// Converts versions between letter form and dotted form. Well-formed versions are converted
// by number so that two-digit builds survive the round trip; anything else falls back to
// plain text replacement.
#include "versions.h"

#include <array>
#include <regex>

namespace {

// Each number is limited to nine digits so that it always fits an unsigned long.
const std::regex wellFormedDotted(R"(^(\d{1,9})\.0\.(\d{1,9})\.(\d{1,9})$)");
const std::regex wellFormedLetter(R"(^(\d{1,9})u(\d{1,9})b(\d{1,9})$)");

// Real versions are short: major 8, an update in the hundreds, a build below 100.
const std::regex sensibleLetter(R"(^\d{1,3}u\d{1,4}b\d{1,4}$)");

std::string number(const std::string& digits)
{
    return std::to_string(std::stoul(digits));
}

// Installer names write the build with at least two digits: 8u432b06, 8u292b10.
std::string twoDigitBuild(const std::string& digits)
{
    std::string build = number(digits);
    return build.size() < 2 ? "0" + build : build;
}

// The three numbers of a well-formed dotted version (major.0.update.build, each of one to
// nine digits), or nothing.
using DottedNumbers = std::array<unsigned long, 3>;

bool parseNumber(const std::string& text, std::string::size_type& at, unsigned long& number)
{
    const std::string::size_type start = at;
    number = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 9) {
        number = number * 10 + static_cast<unsigned long>(text[at] - '0');
        ++at;
    }
    return at > start && (at == text.size() || text[at] < '0' || text[at] > '9');
}

bool parseDotted(const std::string& text, DottedNumbers& numbers)
{
    std::string::size_type at = 0;
    if (!parseNumber(text, at, numbers[0]) || text.compare(at, 3, ".0.") != 0) {
        return false;
    }
    at += 3;
    if (!parseNumber(text, at, numbers[1]) || at >= text.size() || text[at] != '.') {
        return false;
    }
    ++at;
    return parseNumber(text, at, numbers[2]) && at == text.size();
}

// The one major version the launcher asks the release service for.
constexpr unsigned long wantedMajor = 8;

} // namespace

std::string highestJava8Version(const std::vector<std::string>& names)
{
    const std::string* highest = nullptr;
    DottedNumbers highestNumbers{};
    for (const std::string& name : names) {
        DottedNumbers numbers{};
        if (parseDotted(name, numbers) && numbers[0] == wantedMajor
            && (highest == nullptr || numbers > highestNumbers)) {
            highest = &name;
            highestNumbers = numbers;
        }
    }
    return highest != nullptr ? *highest : std::string();
}

std::string dotToLet(const std::string& version)
{
    std::smatch parts;
    if (std::regex_match(version, parts, wellFormedDotted)) {
        return number(parts[1]) + "u" + number(parts[2]) + "b" + twoDigitBuild(parts[3]);
    }
    const std::string afterMajor = std::regex_replace(version, std::regex(R"(\.0\.)"), "u");
    return std::regex_replace(afterMajor, std::regex(R"(\.)"), "b0");
}

// The version is taken by value, as a copy that belongs to the conversion.
std::string letToDot(std::string version) // NOLINT(performance-unnecessary-value-param)
{
    std::smatch parts;
    if (std::regex_match(version, parts, wellFormedLetter)) {
        return number(parts[1]) + ".0." + number(parts[2]) + "." + number(parts[3]);
    }
    std::string dotted = std::regex_replace(version, std::regex("b0"), ".");
    const std::string::size_type firstU = dotted.find('u');
    if (firstU != std::string::npos) {
        dotted.replace(firstU, 1, ".0.");
    }
    return dotted;
}

bool isLetterVersion(const std::string& version)
{
    return std::regex_match(version, sensibleLetter);
}
