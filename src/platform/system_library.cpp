// Loading DLLs from the system folder on every Windows the launcher runs on.
#include "system_library.h"

#include <objbase.h>

#include <string>

LibraryHandle loadSystemLibrary(const char* name)
{
    // LOAD_LIBRARY_SEARCH_SYSTEM32 came with KB2533623 on Windows 7; without that update the
    // flag makes the call fail with ERROR_INVALID_PARAMETER. AddDllDirectory is exported
    // exactly where the flag is understood; elsewhere the full path does the same job.
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    if (kernel32 != nullptr && GetProcAddress(kernel32, "AddDllDirectory") != nullptr) {
        return {LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32), &FreeLibrary};
    }
    char folder[MAX_PATH + 1];
    const UINT length = GetSystemDirectoryA(folder, sizeof(folder));
    if (length == 0 || length >= sizeof(folder)) {
        return {nullptr, &FreeLibrary};
    }
    return {LoadLibraryExA((std::string(folder, length) + "\\" + name).c_str(), nullptr,
                           LOAD_WITH_ALTERED_SEARCH_PATH),
            &FreeLibrary};
}

namespace {

struct Com {
    decltype(&CoInitializeEx) initialize = nullptr;
    decltype(&CoUninitialize) uninitialize = nullptr;
    decltype(&CoCreateInstance) createInstance = nullptr;
    decltype(&CoTaskMemFree) freeMemory = nullptr;
};

// Loaded once and kept: COM objects of the apartment live until the process ends.
const Com& com()
{
    static const Com functions = [] {
        LibraryHandle ole32 = loadSystemLibrary("ole32.dll");
        Com found;
        found.initialize = libraryFunction<decltype(found.initialize)>(ole32, "CoInitializeEx");
        found.uninitialize = libraryFunction<decltype(found.uninitialize)>(ole32, "CoUninitialize");
        found.createInstance = libraryFunction<decltype(found.createInstance)>(ole32, "CoCreateInstance");
        found.freeMemory = libraryFunction<decltype(found.freeMemory)>(ole32, "CoTaskMemFree");
        (void)ole32.release();
        return found;
    }();
    return functions;
}

} // namespace

HRESULT enterComApartment(DWORD model)
{
    return com().initialize != nullptr ? com().initialize(nullptr, model) : E_FAIL;
}

void leaveComApartment()
{
    if (com().uninitialize != nullptr) {
        com().uninitialize();
    }
}

HRESULT createComInstance(REFCLSID type, REFIID interfaceId, void** object)
{
    return com().createInstance != nullptr
               ? com().createInstance(type, nullptr, CLSCTX_INPROC_SERVER, interfaceId, object)
               : E_FAIL;
}

void freeComMemory(void* memory)
{
    if (memory != nullptr && com().freeMemory != nullptr) {
        com().freeMemory(memory);
    }
}
