#pragma once
// One move-only RAII owner per kind of Windows handle. Each kind names its "no handle"
// value and how it is released, so a handle can neither leak nor be closed twice.
#include <windows.h>
#include <shlobj.h>

#include <utility>

namespace qm {

template <class Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type h) noexcept : handle_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Type get() const noexcept { return handle_; }
    bool valid() const noexcept { return handle_ != Traits::invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    Type release() noexcept { return std::exchange(handle_, Traits::invalid()); }
    void reset(Type h = Traits::invalid()) noexcept {
        if (valid()) Traits::close(handle_);
        handle_ = h;
    }
    // For out-parameters of API calls: releases what is held and hands out the slot.
    Type* put() noexcept {
        reset();
        return &handle_;
    }

private:
    Type handle_ = Traits::invalid();
};

struct KernelHandleTraits {  // CreateFile and friends: INVALID_HANDLE_VALUE means none
    using Type = HANDLE;
    static Type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Type h) noexcept { ::CloseHandle(h); }
};
struct NullableHandleTraits {  // processes, events, threads: nullptr means none
    using Type = HANDLE;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::CloseHandle(h); }
};
struct FindHandleTraits {
    using Type = HANDLE;
    static Type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Type h) noexcept { ::FindClose(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::RegCloseKey(h); }
};
struct ModuleTraits {
    using Type = HMODULE;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::FreeLibrary(h); }
};
struct WindowTraits {
    using Type = HWND;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::DestroyWindow(h); }
};
struct HookTraits {
    using Type = HHOOK;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::UnhookWindowsHookEx(h); }
};
struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::DeleteObject(h); }
};
struct IconTraits {
    using Type = HICON;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::DestroyIcon(h); }
};
struct MenuTraits {
    using Type = HMENU;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::DestroyMenu(h); }
};
struct ItemIdListTraits {
    using Type = LPITEMIDLIST;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::CoTaskMemFree(h); }
};

using UniqueFile = UniqueHandle<KernelHandleTraits>;
using UniqueKernelObject = UniqueHandle<NullableHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;
using UniqueHook = UniqueHandle<HookTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;
using UniqueItemIdList = UniqueHandle<ItemIdListTraits>;

}  // namespace qm
