// The delay-load helper's hooks. The helper would load a DLL with LoadLibrary and its bare name,
// which searches the launcher's own folder and the current one first: a DLL planted there would
// run inside the launcher. So the notification before the load loads it from the system folder
// itself. Where that fails, the helper would raise an exception at the call (a crash); instead
// the launcher's own module stands in for the DLL, none of whose functions it exports, and each
// function is then answered by a stand-in that fails the way its DLL's functions fail.
#include "late_libraries.h"

#include "ascii_case.h"
#include "system_library.h"

#include <windows.h>

#include <delayimp.h>

#include <algorithm>
#include <iterator>

namespace {

constexpr long statusNotFound = static_cast<long>(0xC0000225L); // STATUS_NOT_FOUND
constexpr std::intptr_t socketError = -1;                       // SOCKET_ERROR, INVALID_SOCKET
constexpr DWORD winsockNotReady = 10091;                        // WSASYSNOTREADY

void (*reportNotLoaded)(const char*, unsigned long) = nullptr;

// The stand-ins take no parameters: on x86-64 the caller removes whatever it passed.
using StandIn = std::intptr_t(WINAPI*)();

std::intptr_t WINAPI failingCrypt32()
{
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0; // FALSE, NULL
}

std::intptr_t WINAPI failingBcrypt()
{
    SetLastError(ERROR_MOD_NOT_FOUND);
    return statusNotFound;
}

std::intptr_t WINAPI failingWinsock()
{
    // WSAStartup reports its error as its result; the others through WSAGetLastError.
    SetLastError(winsockNotReady);
    return socketError;
}

std::intptr_t WINAPI failingOther()
{
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
}

struct LateFailure {
    const char* dll;
    // cppcheck-suppress unusedStructMember ; it is read through the result of std::find_if
    StandIn standIn;
};

const LateFailure lateFailures[] = {
    {"crypt32.dll", failingCrypt32},
    {"bcrypt.dll", failingBcrypt},
    {"ws2_32.dll", failingWinsock},
};

StandIn standInOf(const std::string& dll)
{
    const auto* found =
        std::find_if(std::begin(lateFailures), std::end(lateFailures),
                     [&dll](const LateFailure& row) { return sameIgnoringCase(row.dll, dll); });
    return found != std::end(lateFailures) ? found->standIn : failingOther;
}

FARPROC standInFor(const char* dll)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(standInOf(dll != nullptr ? dll : "")));
}

HMODULE ownModule()
{
    return GetModuleHandleA(nullptr);
}

FARPROC WINAPI notifyHook(unsigned notification, PDelayLoadInfo info)
{
    if (notification == dliNotePreLoadLibrary) {
        LibraryHandle library = loadSystemLibrary(info->szDll);
        if (library) {
            return reinterpret_cast<FARPROC>(library.release());
        }
        if (reportNotLoaded != nullptr) {
            reportNotLoaded(info->szDll, GetLastError());
        }
        // Anything but null keeps the helper from LoadLibrary with the bare name.
        return reinterpret_cast<FARPROC>(ownModule());
    }
    if (notification == dliNotePreGetProcAddress && info->hmodCur == ownModule()) {
        return standInFor(info->szDll);
    }
    return nullptr;
}

// A function that this Windows lacks in a DLL that loaded: failed the same way.
FARPROC WINAPI failureHook(unsigned notification, PDelayLoadInfo info)
{
    return notification == dliFailGetProc ? standInFor(info->szDll) : nullptr;
}

} // namespace

// The helper's hooks, defined here with their value rather than assigned at run time: they are in
// place before any code runs, so that no static initialiser can reach the helper's own LoadLibrary
// with a bare name. (MinGW's own definitions, null, are then not linked in.)
PfnDliHook __pfnDliNotifyHook2 = notifyHook;
PfnDliHook __pfnDliFailureHook2 = failureHook;

std::intptr_t lateLibraryFailure(const std::string& dll)
{
    return standInOf(dll)();
}

void reportLateLibraryFailures(void (*notLoaded)(const char* dll, unsigned long error))
{
    reportNotLoaded = notLoaded;
}
