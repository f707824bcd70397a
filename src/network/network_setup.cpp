// libcurl's global set-up, on the thread that makes the requests.
#include "network_setup.h"

#include "curl_handle.h"

void prepareNetwork()
{
    // On a thread of its own the set-up gains nothing: it loads DLLs under the loader lock,
    // which whatever else the launcher does meanwhile soon needs too, and under Wine a new
    // thread takes three to five milliseconds before it runs at all. Without this call, the first
    // curl_easy_init would do the same set-up, but not safely against other threads.
    (void)curl_global_init(CURL_GLOBAL_DEFAULT);
}
