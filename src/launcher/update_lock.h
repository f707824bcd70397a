// One update at a time in the user's session: a launcher that asks or installs holds a named
// mutex, and a second launcher waits for it instead of asking too.
#pragma once

#include <windows.h>

#include <memory>

using UpdateLock = std::unique_ptr<void, void (*)(HANDLE)>;

// Takes the session's update lock, waiting as long as another launcher holds it. True when
// this launcher may ask and install: the lock was free, or its holder ended without releasing
// it (crashed or killed). False when another launcher finished its update meanwhile: what it
// installed is in the registry now. The lock is released when lock goes.
bool takeUpdateTurn(UpdateLock& lock);

// True while another launcher of the session holds the update lock (asking, downloading or
// installing). The lock is taken for a moment to ask, and given back at once; without the right to
// give it back (an elevated launcher made it), the launcher does not ask, and says false.
bool anotherLauncherUpdates();
