#include "clean/clean_lock.h"

#include <aclapi.h>
#include <sddl.h>

#include <memory>

namespace qm {

namespace {

constexpr wchar_t kBoundaryName[] = L"Dorvik.Quillmere";
constexpr wchar_t kNamespacePrefix[] = L"Dorvik.Quillmere";
constexpr wchar_t kNamespacedName[] = L"Dorvik.Quillmere\\Clean";
constexpr wchar_t kFallbackBase[] = L"Global\\Dorvik.Quillmere.CleanLock.";
constexpr int kFallbackCount = 8;

struct LocalFreeDeleter {
    void operator()(void* memory) const { ::LocalFree(memory); }
};
using LocalMemory = std::unique_ptr<void, LocalFreeDeleter>;

struct BoundaryDeleter {
    void operator()(void* boundary) const { ::DeleteBoundaryDescriptor(boundary); }
};
using Boundary = std::unique_ptr<void, BoundaryDeleter>;

// The process user's SID, binary and as text ("S-1-5-21-..."); empty when the token cannot tell.
struct ProcessUser {
    std::vector<unsigned char> token;
    std::wstring text;
    PSID Sid() const { return reinterpret_cast<const TOKEN_USER*>(token.data())->User.Sid; }
};

std::optional<ProcessUser> CurrentUser() {
    UniqueKernelObject token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return std::nullopt;
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return std::nullopt;
    ProcessUser user{std::vector<unsigned char>(size), {}};
    if (!::GetTokenInformation(token.get(), TokenUser, user.token.data(), size, &size)) return std::nullopt;
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(user.Sid(), &text)) return std::nullopt;
    user.text = text;
    ::LocalFree(text);
    return user;
}

// Owned by the user, who alone may open it: what this program gives its lock objects.
LocalMemory UserOnlyDescriptor(const ProcessUser& user) {
    const std::wstring sddl = L"O:" + user.text + L"D:P(A;;GA;;;" + user.text + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return nullptr;
    return LocalMemory(descriptor);
}

// True when an existing object is one this program made: the user owns it and its access
// list grants nobody else anything. A squatter's object (another owner, no descriptor, or a
// grant to anyone else) is not.
bool IsOwnObject(HANDLE object, const ProcessUser& user) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (::GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                          nullptr, &dacl, nullptr, &raw) != ERROR_SUCCESS)
        return false;
    const LocalMemory descriptor(raw);
    if (!owner || !dacl || !::EqualSid(owner, user.Sid()) || dacl->AceCount == 0) return false;
    for (WORD index = 0; index < dacl->AceCount; ++index) {
        void* ace = nullptr;
        if (!::GetAce(dacl, index, &ace)) return false;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;  // a denial takes nothing from the user's lock
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        if (!::EqualSid(const_cast<DWORD*>(&allowed->SidStart), user.Sid())) return false;
    }
    return true;
}

// The lock's mutex opened (or made) under name, when it is this program's own.
UniqueKernelObject OwnMutex(const wchar_t* name, const ProcessUser& user, SECURITY_ATTRIBUTES& attributes) {
    UniqueKernelObject mutex(::CreateMutexW(&attributes, FALSE, name));
    // Missing: the name is another kind of object, or one this user may not open.
    if (!mutex) return {};
    if (::GetLastError() == ERROR_ALREADY_EXISTS && !IsOwnObject(mutex.get(), user)) return {};
    return mutex;
}

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
