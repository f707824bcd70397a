// libcurl's global set-up, started early on a thread of its own. No libcurl or Windows header,
// so the launcher's entry point can start it first thing.
#pragma once

// Starts libcurl's global set-up on a thread of its own. It loads Winsock and every security
// package of SSPI, one DLL after another, and takes longer than all else the launcher does
// before its first request, which it need not wait for.
void prepareNetwork();

// Waits until that set-up has ended. Every request waits for it, and so must the end of the
// process: a thread ended while it loads DLLs could leave the loader locked.
void awaitNetwork();
