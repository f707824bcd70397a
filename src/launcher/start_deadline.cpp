// The thread that starts the application when the update check is late.
#include "start_deadline.h"

#include <windows.h>

namespace {

enum : LONG { pending, answered, deadlinePassed };
// The deadline lies at most a second or so ahead; a wait is never longer than this.
constexpr unsigned long longestWaitMilliseconds = 60000;

} // namespace

struct DeadlineStart {
    DeadlineActions actions;
    Deadline deadline;
    HANDLE answeredEvent = nullptr; // set when the check answered in time
    HANDLE thread = nullptr;
    LONG state = pending; // moved once, by whichever of the two comes first
    // Written by the thread before it ends, read after it has ended.
    DeadlineStartEnd end = DeadlineStartEnd::failed;
    // The launcher's thread and the deadline's each hold the record: an answer in time does not
    // wait for the other thread to end (under Wine a new thread takes milliseconds to run at all).
    LONG holders = 1;
};

namespace {

void letGo(DeadlineStart* watch)
{
    if (InterlockedDecrement(&watch->holders) == 0) {
        if (watch->answeredEvent != nullptr) {
            CloseHandle(watch->answeredEvent);
        }
        delete watch;
    }
}

DWORD WINAPI startAtDeadline(void* parameter)
{
    auto* watch = static_cast<DeadlineStart*>(parameter);
    if (WaitForSingleObject(watch->answeredEvent, millisecondsUntil(watch->deadline, longestWaitMilliseconds))
            == WAIT_TIMEOUT
        // The answer may have come in the same instant.
        && InterlockedCompareExchange(&watch->state, deadlinePassed, pending) == pending) {
        const DeadlineActions& actions = watch->actions;
        // Another launcher is downloading or installing: a start now would run from a folder
        // about to be replaced, or make that launcher drop its installation as in use.
        if (actions.updateUnderWay != nullptr && actions.updateUnderWay(actions.context)) {
            watch->end = DeadlineStartEnd::yieldedToUpdate;
        } else {
            watch->end =
                actions.start(actions.context) ? DeadlineStartEnd::started : DeadlineStartEnd::failed;
        }
    }
    letGo(watch);
    return 0;
}

} // namespace

void endDeadlineStart(DeadlineStart* watch)
{
    if (watch == nullptr) {
        return;
    }
    if (watch->thread != nullptr) {
        // A start under way is finished before the launcher ends; otherwise the thread ends on its
        // own, at once, or with the process.
        if (InterlockedCompareExchange(&watch->state, answered, pending) == deadlinePassed) {
            (void)WaitForSingleObject(watch->thread, INFINITE);
        }
        (void)SetEvent(watch->answeredEvent);
        CloseHandle(watch->thread);
    }
    letGo(watch);
}

DeadlineStartHandle armStartDeadline(const DeadlineActions& actions, Deadline deadline)
{
    DeadlineStartHandle watch(new DeadlineStart{actions, deadline}, &endDeadlineStart);
    watch->answeredEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (watch->answeredEvent == nullptr) {
        return {nullptr, &endDeadlineStart};
    }
    watch->holders = 2;
    watch->thread = CreateThread(nullptr, 0, startAtDeadline, watch.get(), 0, nullptr);
    if (watch->thread == nullptr) {
        watch->holders = 1;
        return {nullptr, &endDeadlineStart};
    }
    return watch;
}

bool takeStartBeforeDeadline(DeadlineStart* watch)
{
    if (watch == nullptr) {
        return true;
    }
    // Past the deadline the start is the thread's, however late it runs.
    if (millisecondsUntil(watch->deadline, longestWaitMilliseconds) == 0) {
        return false;
    }
    if (InterlockedCompareExchange(&watch->state, answered, pending) != pending) {
        return false;
    }
    (void)SetEvent(watch->answeredEvent);
    return true;
}

DeadlineStartEnd waitForDeadlineStart(DeadlineStart& watch)
{
    (void)WaitForSingleObject(watch.thread, INFINITE);
    return watch.end;
}
