// The SHA-256 of a file: what the download compares to tell that nothing changed the package
// between its last write and the handle that holds it.
#pragma once

#include <windows.h>

#include <array>

using Sha256 = std::array<unsigned char, 32>;

// The SHA-256 of the whole file behind handle, read from its start. False when it cannot be
// read to the end.
bool hashFile(HANDLE file, Sha256& digest);
