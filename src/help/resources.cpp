#include "help/resources.h"

#include <windows.h>

namespace qm {

std::string_view ProgramResource(int id) {
    const HMODULE program = ::GetModuleHandleW(nullptr);
    const HRSRC found = ::FindResourceW(program, MAKEINTRESOURCEW(id), L"CUSTOM");
    if (!found) return {};
    const HGLOBAL loaded = ::LoadResource(program, found);  // resources of a loaded module need no freeing
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes) return {};
    return {static_cast<const char*>(bytes), ::SizeofResource(program, found)};
}

}  // namespace qm
