#pragma once
// Libraries the program loads itself, for as long as it needs them.
#include <windows.h>

#include "base/handles.h"

namespace qm {

// A library of the system folder: never one of that name placed beside the program or in
// the current folder. None when it cannot be loaded.
inline UniqueModule LoadSystemLibrary(const wchar_t* name) {
    return UniqueModule(::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

// A function the module exports, with its own type; nullptr when the module lacks it.
template <class Function>
void FindExport(HMODULE module, const char* name, Function& function) {
    function = module ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

}  // namespace qm
