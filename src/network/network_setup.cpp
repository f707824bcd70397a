// libcurl's global set-up on a thread of its own, started as early as the launcher knows that it
// will send a request.
#include "network_setup.h"

#include "curl_handle.h"

#include <windows.h>

namespace {

// The one thread of the set-up, from its start to the wait for its end. Process-wide, as the
// set-up itself is.
HANDLE& networkPreparation()
{
    static HANDLE thread = nullptr;
    return thread;
}

DWORD WINAPI initialiseLibcurl(void* /*parameter*/)
{
    (void)curl_global_init(CURL_GLOBAL_DEFAULT);
    return 0;
}

} // namespace

void prepareNetwork()
{
    // Without the thread, the first curl_easy_init does the same set-up itself.
    networkPreparation() = CreateThread(nullptr, 0, initialiseLibcurl, nullptr, 0, nullptr);
}

void awaitNetwork()
{
    HANDLE& thread = networkPreparation();
    if (thread != nullptr) {
        (void)WaitForSingleObject(thread, INFINITE);
        (void)CloseHandle(thread);
        thread = nullptr;
    }
}
