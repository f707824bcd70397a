// The application's start at the start deadline, on a thread of its own, while the update check
// goes on on the launcher's thread. Whichever comes first decides: an answer in time leaves the
// start, and any question, to the launch sequence; at the deadline the thread starts the
// application, and the check's answer, whenever it comes, is only remembered. At the deadline the
// thread first looks whether another launcher is updating the runtime: then it starts nothing, and
// the launch sequence waits for that update as a whole check does.
//
// A thread, rather than libcurl's multi interface on the one thread: the check is a chain of
// blocking steps, each with its own deadline (the proxy's configuration script and automatic
// detection through WinHTTP, the request, a retry through a detected proxy), and WinHTTP's look-ups
// would need a thread anyway. The thread does nothing but wait, look and start, through the
// actions it is given; the two threads meet in one interlocked exchange.
#pragma once

#include "platform/wait_time.h"

#include <memory>

// What the thread does at the deadline, with context: start the application (true when it
// started), and before that look whether another launcher holds the update turn.
struct DeadlineActions {
    bool (*start)(void* context) = nullptr;
    bool (*updateUnderWay)(void* context) = nullptr;
    void* context = nullptr;
};

struct DeadlineStart;
// Ends the thread (at once, where the check answered in time) and releases its handles; a start
// under way at the deadline is waited for.
void endDeadlineStart(DeadlineStart* watch);
using DeadlineStartHandle = std::unique_ptr<DeadlineStart, decltype(&endDeadlineStart)>;

// Starts the thread that carries out actions at deadline. Null when no thread could be made: the
// check then holds the start as long as it takes.
DeadlineStartHandle armStartDeadline(const DeadlineActions& actions, Deadline deadline);

// The check has ended: takes the start back for the launch sequence, once, where that is still
// before the deadline, by the clock as well as by the thread (a thread not yet scheduled at its
// deadline cannot let a question come after it). True when taken, and always without a thread;
// false when the deadline's thread has the start.
bool takeStartBeforeDeadline(DeadlineStart* watch);

enum class DeadlineStartEnd {
    started,         // the application was started at the deadline
    failed,          // its start was tried, and the shell did not start it
    yieldedToUpdate, // another launcher held the update turn: nothing was started
};

// Waits until the deadline's thread has done what it does at the deadline, and says what that was.
// Only after takeStartBeforeDeadline returned false.
DeadlineStartEnd waitForDeadlineStart(DeadlineStart& watch);
