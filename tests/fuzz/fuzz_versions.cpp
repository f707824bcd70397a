// Fuzzes the version notations: they give what the regex statement of them gives for every
// input, every accepted letter-form version converts to a well-formed dotted one, and a
// well-formed version survives the round trip letter -> dotted -> letter unchanged.
#include "versions/versions.h"
#include "versions_reference.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>

namespace {

const std::regex wellFormedDotted(R"(^\d{1,9}\.0\.\d{1,9}\.\d{1,9}$)");

// A version as installer names write it: numbers without leading zeros, the build with two
// digits at least.
std::string letterForm(std::uint32_t major, std::uint32_t update, std::uint32_t build)
{
    const std::string buildText = std::to_string(build);
    return std::to_string(major) + "u" + std::to_string(update) + "b" + (buildText.size() < 2 ? "0" : "")
           + buildText;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string dotted = letToDot(text);
    if (dotted != reference::letToDot(text) || dotToLet(text) != reference::dotToLet(text)
        || isLetterVersion(text) != reference::isLetterVersion(text)) {
        std::abort();
    }
    if (isLetterVersion(text) && !std::regex_match(dotted, wellFormedDotted)) {
        std::abort();
    }
    if (size >= 12) {
        std::uint32_t numbers[3];
        std::memcpy(numbers, data, sizeof(numbers));
        const std::string letter = letterForm(numbers[0] % 1000, numbers[1] % 10000, numbers[2] % 10000);
        if (dotToLet(letToDot(letter)) != letter) {
            std::abort();
        }
    }
    return 0;
}
