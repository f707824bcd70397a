// The console window that Windows gives a console program started from Explorer.
#pragma once

// Frees this process's console when it was made for it alone (GetConsoleProcessList counts only
// this process), so that its window, which would stand empty behind the launcher's dialogs and
// the application, goes at once; a console the launcher was started from (a command prompt, a
// script) stays, and without a console at all there is nothing to do.
void releaseOwnConsole();
