#pragma once
// One clean at a time across processes: the resident program, "auto" and the console
// program each hold this lock while they clean. It is a named mutex in the global namespace
// whose name carries the user's SID, so a scheduled task in another session of the same user
// sees a clean of the desktop session, and other users' cleans do not block this one's.
#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

#include "base/handles.h"

namespace qm {

// How long a second clean waits for the first before it gives up.
inline constexpr std::chrono::milliseconds kCleanLockWait{500};

class CleanLock {
public:
    // Takes the lock, waiting at most wait for a clean of another process (or thread) to end.
    // Nothing when it stays taken (or the system refuses the mutex).
    static std::optional<CleanLock> Acquire(std::chrono::milliseconds wait = kCleanLockWait);

    // "Global\Dorvik.Quillmere.Clean." + the SID of the user the process runs as.
    static std::wstring Name();

    CleanLock(CleanLock&&) noexcept = default;
    CleanLock& operator=(CleanLock&&) noexcept;
    CleanLock(const CleanLock&) = delete;
    CleanLock& operator=(const CleanLock&) = delete;
    ~CleanLock() { Release(); }

private:
    explicit CleanLock(UniqueKernelObject mutex) : mutex_(std::move(mutex)) {}
    void Release() noexcept;

    UniqueKernelObject mutex_;
};

}  // namespace qm
