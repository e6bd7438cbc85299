#pragma once
// One clean at a time across processes: the resident program, "auto" and the console
// program each hold this lock while they clean. The lock is a mutex that only this user can
// make: where the system offers private namespaces, one bound to the user's SID (no other
// user can create it or anything in it); elsewhere (Wine) named mutexes in the global
// namespace whose owner and access list must be exactly the ones this program gives them,
// any other object of such a name being passed over as a squatter's. Both are seen by every
// session of the user, so a scheduled task sees the desktop's clean.
#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "base/handles.h"

namespace qm {

// How long a second clean waits for the first before it gives up.
inline constexpr std::chrono::milliseconds kCleanLockWait{500};

// Why the lock was not taken.
enum class LockBusy {
    AnotherClean,  // a clean of this program holds it
    NotOurs,       // every name the lock may take is held by an object this program did not make
};

class CleanLock {
public:
    // Takes the lock, waiting at most wait for a clean of another process (or thread) to end.
    // Nothing when it stays taken (busy, when given, tells why) or the system refuses the mutex.
    static std::optional<CleanLock> Acquire(std::chrono::milliseconds wait = kCleanLockWait, LockBusy* busy = nullptr);

    // The global names tried in order where private namespaces are missing:
    // "Global\Dorvik.Quillmere.CleanLock." + the user's SID + "." + 0..7.
    static std::vector<std::wstring> FallbackNames();

    CleanLock(CleanLock&&) noexcept = default;
    CleanLock& operator=(CleanLock&&) noexcept;
    CleanLock(const CleanLock&) = delete;
    CleanLock& operator=(const CleanLock&) = delete;
    ~CleanLock() { Release(); }

private:
    struct NamespaceTraits {  // closed without destroying: other holders may still use it
        using Type = HANDLE;
        static HANDLE invalid() { return nullptr; }
        static void close(HANDLE handle) { ::ClosePrivateNamespace(handle, 0); }
    };
    using UniqueNamespace = UniqueHandle<NamespaceTraits>;
    struct Opened;
    static Opened OpenMutex();

    CleanLock(UniqueNamespace space, UniqueKernelObject mutex) : space_(std::move(space)), mutex_(std::move(mutex)) {}
    void Release() noexcept;

    UniqueNamespace space_;  // kept open while held, so the mutex stays findable by its name
    UniqueKernelObject mutex_;
};

}  // namespace qm
