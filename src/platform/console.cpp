// Gives back a console that Windows made only for this process. Windows 11 24H2 and later make
// none at all for a program started from Explorer, because the manifest says "detached"; earlier
// Windows read no such setting and open a console window for the whole run.
#include "console.h"

#include <windows.h>

void releaseOwnConsole()
{
    // The count comes back even when the list does not fit; two entries tell "only me" apart.
    DWORD processes[2] = {};
    if (GetConsoleProcessList(processes, 2) != 1) {
        return;
    }
    // The launcher prints nothing, so its standard handles are not missed; those of the console
    // are cleared with it, so that nothing later writes through a handle that names nothing, or
    // by then another object that reused its value. A handle redirected to a file or a pipe stays.
    bool ofTheConsole[3] = {};
    const DWORD standard[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (int at = 0; at < 3; ++at) {
        const HANDLE handle = GetStdHandle(standard[at]);
        ofTheConsole[at] =
            handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_CHAR;
    }
    if (FreeConsole() == FALSE) {
        return;
    }
    for (int at = 0; at < 3; ++at) {
        if (ofTheConsole[at]) {
            (void)SetStdHandle(standard[at], nullptr);
        }
    }
}
