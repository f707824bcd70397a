// Fuzzes the choice of the installed runtime among registry subkey names (one a line): the
// choice is one of the names, a well-formed Java 8 version, and no well-formed Java 8 name is
// higher; with no such name, nothing is chosen.
#include "versions/versions.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

namespace {

// An independent statement of "well-formed Java 8 version" for the check.
const std::regex java8(R"(^0*8\.0\.(\d{1,9})\.(\d{1,9})$)");

bool parse(const std::string& name, std::array<unsigned long, 2>& numbers)
{
    std::smatch parts;
    if (!std::regex_match(name, parts, java8) || name.find('.') > 9) {
        return false;
    }
    numbers = {std::stoul(parts[1]), std::stoul(parts[2])};
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> names(1);
    for (std::size_t at = 0; at < size; ++at) {
        if (data[at] == '\n') {
            names.emplace_back();
        } else {
            names.back() += static_cast<char>(data[at]);
        }
    }
    const std::string chosen = highestJava8Version(names);
    std::array<unsigned long, 2> best{};
    const bool chosenIsVersion = parse(chosen, best);
    bool anyVersion = false;
    for (const std::string& name : names) {
        std::array<unsigned long, 2> numbers{};
        if (parse(name, numbers)) {
            anyVersion = true;
            if (!chosenIsVersion || numbers > best) {
                std::abort();
            }
        }
    }
    if (anyVersion != !chosen.empty()) {
        std::abort();
    }
    return 0;
}
