// The session-wide update lock. "Local\" names the mutex in the user's own session, so users
// of one terminal server do not wait for each other.
#include "update_lock.h"

namespace {

const char* const updateMutexName = R"(Local\Marveth.KLV.Launcher.Update)";

void releaseLock(HANDLE mutex)
{
    (void)ReleaseMutex(mutex);
    (void)CloseHandle(mutex);
}

void closeOnly(HANDLE mutex)
{
    (void)CloseHandle(mutex);
}

} // namespace

bool takeUpdateTurn(UpdateLock& lock)
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, updateMutexName);
    // A mutex that an elevated launcher of this session created refuses a launcher without
    // elevation full access; waiting for it needs no more than SYNCHRONIZE.
    if (mutex == nullptr && GetLastError() == ERROR_ACCESS_DENIED) {
        mutex = OpenMutexA(SYNCHRONIZE, FALSE, updateMutexName);
    }
    if (mutex == nullptr) {
        return true; // no lock to be had: go on as before there was one
    }
    const DWORD free = WaitForSingleObject(mutex, 0);
    if (free == WAIT_OBJECT_0 || free == WAIT_ABANDONED) {
        lock = UpdateLock(mutex, &releaseLock);
        return true;
    }
    // Another launcher is asking or installing; its user answers, so there is no time limit.
    const DWORD waited = WaitForSingleObject(mutex, INFINITE);
    if (waited == WAIT_ABANDONED) {
        lock = UpdateLock(mutex, &releaseLock);
        return true;
    }
    if (waited == WAIT_OBJECT_0) {
        (void)ReleaseMutex(mutex);
    }
    lock = UpdateLock(mutex, &closeOnly);
    return false;
}

bool anotherLauncherUpdates()
{
    HANDLE mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, updateMutexName);
    if (mutex == nullptr) {
        return false; // none made: no launcher is updating
    }
    const DWORD state = WaitForSingleObject(mutex, 0);
    if (state == WAIT_OBJECT_0 || state == WAIT_ABANDONED) {
        (void)ReleaseMutex(mutex);
    }
    (void)CloseHandle(mutex);
    return state == WAIT_TIMEOUT;
}
