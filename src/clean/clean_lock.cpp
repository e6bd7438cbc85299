#include "clean/clean_lock.h"

#include <memory>

#include "base/user_objects.h"

namespace qm {

namespace {

constexpr wchar_t kBoundaryName[] = L"Dorvik.Quillmere";
constexpr wchar_t kNamespacePrefix[] = L"Dorvik.Quillmere";
constexpr wchar_t kNamespacedName[] = L"Dorvik.Quillmere\\Clean";
constexpr wchar_t kFallbackBase[] = L"Global\\Dorvik.Quillmere.CleanLock.";
constexpr int kFallbackCount = 8;

struct BoundaryDeleter {
    void operator()(void* boundary) const { ::DeleteBoundaryDescriptor(boundary); }
};
using Boundary = std::unique_ptr<void, BoundaryDeleter>;

}  // namespace

struct CleanLock::Opened {
    UniqueNamespace space;
    UniqueKernelObject mutex;
    bool squatted = false;  // only objects this program did not make were found
};

std::vector<std::wstring> CleanLock::FallbackNames() {
    std::vector<std::wstring> names;
    const std::optional<ProcessUser> user = CurrentUser();
    if (!user) return names;
    for (int index = 0; index < kFallbackCount; ++index)
        names.push_back(kFallbackBase + user->text + L"." + std::to_wstring(index));
    return names;
}

CleanLock::Opened CleanLock::OpenMutex() {
    Opened opened;
    const std::optional<ProcessUser> user = CurrentUser();
    if (!user) return opened;
    const LocalMemory descriptor = UserOnlyDescriptor(*user);
    if (!descriptor) return opened;
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};

    // A namespace bound to the user's SID: only a process of this user can create it.
    Boundary boundary(::CreateBoundaryDescriptorW(kBoundaryName, 0));
    void* boundaryHandle = boundary.get();
    if (boundary && ::AddSIDToBoundaryDescriptor(&boundaryHandle, user->Sid())) {
        boundary.release();
        boundary.reset(boundaryHandle);  // the call may have moved it
        // Made, or opened when another clean made it (which may close it meanwhile: try again).
        // Once the system offers the namespace, the global names are never used instead: a
        // clean there would not see the cleans in the namespace.
        for (int attempt = 0; attempt < 3 && !opened.space; ++attempt) {
            opened.space.reset(::CreatePrivateNamespaceW(&attributes, boundary.get(), kNamespacePrefix));
            if (!opened.space && ::GetLastError() == ERROR_ALREADY_EXISTS)
                opened.space.reset(::OpenPrivateNamespaceW(boundary.get(), kNamespacePrefix));
        }
        if (opened.space) opened.mutex = OwnMutex(kNamespacedName, *user, attributes);
        opened.squatted = !opened.mutex;
        if (!opened.mutex) opened.space.reset();
        return opened;
    }
    // No private namespaces here (Wine): the first global name that is free or our own.
    // Every clean walks the same names in the same order, so all of them meet at one.
    for (const auto& name : FallbackNames()) {
        opened.mutex = OwnMutex(name.c_str(), *user, attributes);
        if (opened.mutex) return opened;
    }
    opened.squatted = true;
    return opened;
}

std::optional<CleanLock> CleanLock::Acquire(std::chrono::milliseconds wait, LockBusy* busy) {
    Opened opened = OpenMutex();
    if (!opened.mutex) {
        if (busy) *busy = opened.squatted ? LockBusy::NotOurs : LockBusy::AnotherClean;
        return std::nullopt;
    }
    const DWORD result = ::WaitForSingleObject(opened.mutex.get(), static_cast<DWORD>(wait.count()));
    // An abandoned mutex belonged to a clean that ended without letting go: it is over.
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
        if (busy) *busy = LockBusy::AnotherClean;
        return std::nullopt;
    }
    return CleanLock(std::move(opened.space), std::move(opened.mutex));
}

CleanLock& CleanLock::operator=(CleanLock&& other) noexcept {
    if (this != &other) {
        Release();
        space_ = std::move(other.space_);
        mutex_ = std::move(other.mutex_);
    }
    return *this;
}

void CleanLock::Release() noexcept {
    if (mutex_) ::ReleaseMutex(mutex_.get());
    mutex_.reset();
    space_.reset();
}

}  // namespace qm
