// Reads the machine of a PE file's header, bounds checked at every step.
#include "pe_machine.h"

namespace {

constexpr std::string::size_type peOffsetField = 0x3C;

// The little-endian number of width bytes at at; the caller has checked the bounds.
unsigned long littleEndian(const std::string& bytes, std::string::size_type at, unsigned width)
{
    unsigned long number = 0;
    for (unsigned i = width; i > 0; --i) {
        number = (number << 8U) | static_cast<unsigned char>(bytes[at + i - 1]);
    }
    return number;
}

} // namespace

unsigned peMachine(const std::string& bytes)
{
    if (bytes.size() < peOffsetField + 4 || bytes.compare(0, 2, "MZ") != 0) {
        return 0;
    }
    const unsigned long header = littleEndian(bytes, peOffsetField, 4);
    // "PE\0\0", then the two bytes of the machine.
    if (header > bytes.size() || bytes.size() - header < 6
        || bytes.compare(header, 4, std::string("PE\0\0", 4)) != 0) {
        return 0;
    }
    return static_cast<unsigned>(littleEndian(bytes, header + 4, 2));
}
