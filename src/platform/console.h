// The console window that Windows gives a console program started from Explorer.
#pragma once

// True when a console with count attached processes (GetConsoleProcessList's answer) was made for
// this process alone: nobody else shows in it, and its window would stand empty behind the
// launcher's dialogs and the application. 0 is no console at all.
bool consoleIsOnlyMine(unsigned long count);

// Frees this process's console when it was made for it alone, so that its window goes at once; a
// console the launcher was started from (a command prompt, a script) stays.
void releaseOwnConsole();
