#pragma once
// Libraries the program loads itself, when it first needs them.
#include <windows.h>

namespace qm {

// A library of the system folder (never one of that name placed beside the program or in the
// current folder), loaded on first use and kept for the rest of the process:
// for libraries whose own threads and callbacks (a name being resolved, a pool of connections)
// may still run after the last call into them returns, where letting them go would leave
// those threads running in unmapped code. nullptr when it cannot be loaded.
inline HMODULE KeptSystemLibrary(const wchar_t* name) {
    const HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    HMODULE pinned = nullptr;
    if (module)
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                             reinterpret_cast<LPCWSTR>(module), &pinned);
    return module;
}

// A function the module exports, with its own type; nullptr when the module lacks it.
template <class Function>
void FindExport(HMODULE module, const char* name, Function& function) {
    function = module ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

}  // namespace qm
