#include "base/user_objects.h"

#include <aclapi.h>
#include <sddl.h>

namespace qm {

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

LocalMemory UserOnlyDescriptor(const ProcessUser& user) {
    const std::wstring sddl = L"O:" + user.text + L"D:P(A;;GA;;;" + user.text + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return nullptr;
    return LocalMemory(descriptor);
}

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
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;  // a denial takes nothing from the user
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        if (!::EqualSid(const_cast<DWORD*>(&allowed->SidStart), user.Sid())) return false;
    }
    return true;
}

UniqueKernelObject OwnMutex(const wchar_t* name, const ProcessUser& user, SECURITY_ATTRIBUTES& attributes,
                            bool* existed) {
    UniqueKernelObject mutex(::CreateMutexW(&attributes, FALSE, name));
    if (!mutex) return {};
    const bool already = ::GetLastError() == ERROR_ALREADY_EXISTS;
    if (already && !IsOwnObject(mutex.get(), user)) return {};
    if (existed) *existed = already;
    return mutex;
}

}  // namespace qm
