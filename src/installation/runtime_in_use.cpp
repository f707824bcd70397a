// The look at the running processes: a snapshot of them all, and each one's executable as the
// system reports it.
#include "runtime_in_use.h"

#include "platform/wide_text.h"

#include <windows.h>

#include <tlhelp32.h>

#include <memory>

namespace {

using Handle = std::unique_ptr<void, decltype(&CloseHandle)>;

// The full path of the process's executable; empty where the launcher may not ask (another
// user's process without the rights, or a protected one) or it has ended meanwhile.
// PROCESS_QUERY_LIMITED_INFORMATION is the least right that names the image, and is granted
// for more processes than any other.
std::string imageOf(DWORD pid)
{
    const Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid), &CloseHandle);
    if (!process) {
        return {};
    }
    wchar_t image[MAX_PATH * 4];
    DWORD length = sizeof(image) / sizeof(image[0]);
    return QueryFullProcessImageNameW(process.get(), 0, image, &length) != FALSE ? narrow(image)
                                                                                 : std::string();
}

} // namespace

RuntimeUse findRuntimeInUse(const std::string& runtimeFolder)
{
    RuntimeUse use;
    // A runtime whose folder is not known: no process can be said to run from it, nor not to.
    if (runtimeFolder.empty()) {
        return use;
    }
    HANDLE taken = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    const Handle snapshot(taken != INVALID_HANDLE_VALUE ? taken : nullptr, &CloseHandle);
    if (!snapshot) {
        return use;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    if (Process32FirstW(snapshot.get(), &entry) == FALSE) {
        return use;
    }
    use.state = RuntimeUse::State::unused;
    const DWORD self = GetCurrentProcessId();
    do {
        if (entry.th32ProcessID == self || entry.th32ProcessID == 0) {
            continue;
        }
        const std::string image = imageOf(entry.th32ProcessID);
        if (!image.empty() && isInFolder(image, runtimeFolder)) {
            use.state = RuntimeUse::State::inUse;
            use.process = image.substr(image.find_last_of('\\') + 1);
            use.pid = entry.th32ProcessID;
            return use;
        }
    } while (Process32NextW(snapshot.get(), &entry) != FALSE);
    return use;
}
