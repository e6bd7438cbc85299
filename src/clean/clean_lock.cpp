#include "clean/clean_lock.h"

#include <sddl.h>

#include <vector>

namespace qm {

namespace {

// The string form of the process user's SID ("S-1-5-21-..."); "" when the token cannot tell.
std::wstring UserSid() {
    UniqueKernelObject token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<unsigned char> buffer(size);
    if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return {};
    std::wstring sid(text);
    ::LocalFree(text);
    return sid;
}

}  // namespace

std::wstring CleanLock::Name() { return L"Global\\Dorvik.Quillmere.Clean." + UserSid(); }

std::optional<CleanLock> CleanLock::Acquire(std::chrono::milliseconds wait) {
    // Another user's process may have made an object of that name that we may not open:
    // then no clean runs rather than two at once.
    UniqueKernelObject mutex(::CreateMutexW(nullptr, FALSE, Name().c_str()));
    if (!mutex) return std::nullopt;
    const DWORD result = ::WaitForSingleObject(mutex.get(), static_cast<DWORD>(wait.count()));
    // An abandoned mutex belonged to a clean that ended without letting go: it is over.
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) return std::nullopt;
    return CleanLock(std::move(mutex));
}

CleanLock& CleanLock::operator=(CleanLock&& other) noexcept {
    if (this != &other) {
        Release();
        mutex_ = std::move(other.mutex_);
    }
    return *this;
}

void CleanLock::Release() noexcept {
    if (mutex_) ::ReleaseMutex(mutex_.get());
    mutex_.reset();
}

}  // namespace qm
