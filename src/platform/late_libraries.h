// The DLLs that the linker loads late (crypt32, bcrypt, ws2_32: see cmake/delay_imports.cmake),
// on the first call of one of their functions: from the system folder only, and without a crash
// where one cannot be loaded.
#pragma once

#include <cstdint>
#include <string>

// What every function of a DLL that cannot be loaded answers, so that its caller sees a failure
// of its own kind: FALSE or NULL for crypt32, an NTSTATUS error for bcrypt, SOCKET_ERROR (and
// INVALID_SOCKET) for ws2_32, whose WSAStartup then fails and libcurl makes no request. 0 for
// any other DLL. It calls the DLL's stand-in itself (which also sets the thread's last error), so
// the row table in the test checks the stand-ins.
std::intptr_t lateLibraryFailure(const std::string& dll);

// The delay-load helper loads each DLL from the system folder, and answers every function of a DLL
// that cannot be loaded with lateLibraryFailure: its hooks are in place from the process's start.
// This names whom to tell of a DLL that cannot be loaded (its name and the system's error code),
// once for each.
void reportLateLibraryFailures(void (*notLoaded)(const char* dll, unsigned long error));
