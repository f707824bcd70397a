// Times counted from this process's creation, as Windows recorded it, rather than from main: the
// loader, the DLLs and the C runtime's set-up have already taken their share by then.
#pragma once

#include "wait_time.h"

// The point on the steady clock that lies span milliseconds after the process was created: now
// when that has passed; span milliseconds from now when the creation time cannot be read, so that
// a process that cannot tell its age never gives its deadline away.
Deadline afterProcessStart(long long spanMilliseconds);

// The whole milliseconds since the process was created (0 when that cannot be read).
long long millisecondsSinceProcessStart();

// The system's clock in whole seconds since 1970, UTC (0 before then).
long long utcSecondsNow();
