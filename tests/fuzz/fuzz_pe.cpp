// Fuzzes the PE header reader, which reads javaw.exe from a folder that the user controls:
// whatever the file holds, the reader stays within its bytes and names a machine only where the
// header stands whole.
#include "platform/pe_machine.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const unsigned machine = peMachine(bytes);
    if (machine > 0xFFFF || (machine != 0 && (size < 0x40 || bytes.compare(0, 2, "MZ") != 0))) {
        std::abort();
    }
    return 0;
}
