// The application's start at the start deadline, on a thread of its own, while the update check
// goes on on the launcher's thread. Whichever comes first decides: an answer in time leaves the
// start, and any question, to the launch sequence; at the deadline the application starts with
// the installed runtime, and the check's answer, whenever it comes, is only remembered.
//
// A thread, rather than libcurl's multi interface on the one thread: the check is a chain of
// blocking steps, each with its own deadline (the proxy's configuration script and automatic
// detection through WinHTTP, the request, a retry through a detected proxy), and WinHTTP's look-ups
// would need a thread anyway. The thread does nothing but wait and start the application, with a
// record made before it runs; the two meet in one interlocked exchange and the log's lock.
#pragma once

#include "application_start.h"
#include "platform/wait_time.h"

#include <memory>

struct DeadlineStart;
// Ends the thread (at once, where the check answered in time) and releases its handles.
void endDeadlineStart(DeadlineStart* watch);
using DeadlineStartHandle = std::unique_ptr<DeadlineStart, decltype(&endDeadlineStart)>;

// Starts the thread that starts the application as start says at deadline. Null when no thread
// could be made: the check then holds the start as long as it takes.
DeadlineStartHandle armStartDeadline(const ApplicationStart& start, Deadline deadline);

// The check has ended: true when that was before the deadline, and the thread will start nothing;
// false when the application has been started (or its start is under way) at the deadline.
bool answeredBeforeDeadline(DeadlineStart& watch);

// Whether the shell started the application at the deadline, once that start is over.
bool startedAtDeadline(DeadlineStart& watch);
