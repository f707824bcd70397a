// The processor an executable is built for, read from its PE header. The bytes come from a file
// in a folder that the user controls, so nothing in them is trusted. No platform header: the
// reader is a row table in its test, and fuzzed.
#pragma once

#include <string>

// IMAGE_FILE_MACHINE_I386, _AMD64 and _ARM64, as the PE header's Machine field has them.
constexpr unsigned peMachineX86 = 0x014C;
constexpr unsigned peMachineX64 = 0x8664;
constexpr unsigned peMachineArm64 = 0xAA64;

// An executable needs no more than this of its start to show its machine: the PE header
// follows the DOS stub, which linkers keep to a few hundred bytes.
constexpr unsigned long peHeaderSearchBytes = 4096;

// The Machine field of the PE header that the start of a file (bytes) holds: "MZ", the offset of
// the PE header at 0x3C, "PE\0\0" there, then the machine. 0 when any of it is missing.
unsigned peMachine(const std::string& bytes);
