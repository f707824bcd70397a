// DLLs that only some runs need, loaded when they are needed and only from the system folder.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <memory>
#include <type_traits>

using LibraryHandle = std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)>;

// Loads name ("wintrust.dll") from the system folder, never from the launcher's folder or the
// search path, where a planted DLL of that name would run inside the launcher.
LibraryHandle loadSystemLibrary(const char* name);

// The function name exports from library, as a pointer of type Function; null when missing.
template <typename Function> Function libraryFunction(const LibraryHandle& library, const char* name)
{
    return library ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library.get(), name)))
                   : nullptr;
}

// COM, loaded from the system folder on first use (ole32 costs every start a few milliseconds
// that only the update stage and the final start of the application need). Without ole32 the
// calls fail with E_FAIL, and leaveComApartment does nothing.
HRESULT enterComApartment(DWORD model);
void leaveComApartment();
HRESULT createComInstance(REFCLSID type, REFIID interfaceId, void** object);

// Frees memory that a system function handed out from COM's allocator (CoTaskMemFree); null is
// left alone.
void freeComMemory(void* memory);
