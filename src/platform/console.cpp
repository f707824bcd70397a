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
    struct Standard {
        DWORD which;
        bool ofTheConsole;
    };
    Standard standard[] = {{STD_INPUT_HANDLE, false}, {STD_OUTPUT_HANDLE, false}, {STD_ERROR_HANDLE, false}};
    for (Standard& handle : standard) {
        HANDLE current = GetStdHandle(handle.which);
        handle.ofTheConsole =
            current != nullptr && current != INVALID_HANDLE_VALUE && GetFileType(current) == FILE_TYPE_CHAR;
    }
    if (FreeConsole() == FALSE) {
        return;
    }
    for (const Standard& handle : standard) {
        if (handle.ofTheConsole) {
            (void)SetStdHandle(handle.which, nullptr);
        }
    }
}
