// The update stage's conversation with the user: one question, the installation on a yes,
// and the error messages; every message box flashes until it is answered.
#pragma once

#include "installation/installer.h"

#include <windows.h>

#include <string>

// The hook that makes the launcher's message boxes flash; installed once, never removed.
extern HHOOK hHook;

// WH_CBT hook procedure: flashes each window of the launcher's thread as it is activated.
LRESULT CALLBACK CBTProc(int nCode, WPARAM wParam, LPARAM lParam);

// Asks whether to install the newest runtime: state 0 means none is installed, any other
// value that another version is available; on a yes, installs it as options say (for whom, the
// runtime it replaces, the run's proxy and rights). Returns 0 with javaVerDot set to the runtime
// to start, or 1 when the program must end.
int winUI(const int& state, const InstallOptions& options);

// Beeps and shows the noRunJava message: there is no runtime to start. Returns 1, the exit code.
int reportNoRuntime();

// Beeps and shows the message that the application's installation was not found. Returns 1.
int reportNoApplication();
