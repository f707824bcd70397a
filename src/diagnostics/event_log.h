// Writing the launcher's events into the Windows Event Log (Application log, source
// "KLV launcher"). Writing an event needs no rights, so every launcher writes, elevated or not.
#pragma once

#include "event_catalog.h"

// Writes event, and a line about it into the launcher's own log. A failure to write changes
// nothing else the launcher does.
void reportEvent(const LauncherEvent& event);
