// libcurl's global set-up. No libcurl or Windows header, so the launcher's entry point can call
// it first thing.
#pragma once

// Sets libcurl up for the process: Winsock, and every security package of SSPI, one DLL after
// another. Called once, before any request and before any other thread could make one.
void prepareNetwork();
