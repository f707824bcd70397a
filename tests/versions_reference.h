// The version conversions as they were first written, with std::regex: the statement that the
// hand-written ones must match for every input (versions_test and the differential fuzzer).
#pragma once

#include <regex>
#include <string>

namespace reference {

inline std::string number(const std::string& digits)
{
    return std::to_string(std::stoul(digits));
}

inline std::string dotToLet(const std::string& version)
{
    static const std::regex wellFormedDotted(R"(^(\d{1,9})\.0\.(\d{1,9})\.(\d{1,9})$)");
    std::smatch parts;
    if (std::regex_match(version, parts, wellFormedDotted)) {
        std::string build = number(parts[3]);
        return number(parts[1]) + "u" + number(parts[2]) + "b" + (build.size() < 2 ? "0" + build : build);
    }
    const std::string afterMajor = std::regex_replace(version, std::regex(R"(\.0\.)"), "u");
    return std::regex_replace(afterMajor, std::regex(R"(\.)"), "b0");
}

inline std::string letToDot(std::string version)
{
    static const std::regex wellFormedLetter(R"(^(\d{1,9})u(\d{1,9})b(\d{1,9})$)");
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

inline bool isLetterVersion(const std::string& version)
{
    static const std::regex sensibleLetter(R"(^\d{1,3}u\d{1,4}b\d{1,4}$)");
    return std::regex_match(version, sensibleLetter);
}

} // namespace reference
