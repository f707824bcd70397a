// Gives back a console that Windows made only for this process. Windows 11 24H2 and later make
// none at all for a program started from Explorer, because the manifest says "detached"; earlier
// Windows read no such setting and open a console window for the whole run.
#include "console.h"

#include <windows.h>

void releaseOwnConsole()
{
    // The count comes back even when the list does not fit; two entries tell "only me" apart.
    DWORD processes[2] = {};
    if (GetConsoleProcessList(processes, 2) == 1) {
        // The launcher prints nothing, so its standard handles are not missed.
        (void)FreeConsole();
    }
}
