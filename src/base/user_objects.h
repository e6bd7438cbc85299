#pragma once
// Named kernel objects that only this user can make or take: owned by the user, with an
// access list that grants the user alone. A name another user or program made first (a
// squatter's) is recognised and passed over, never waited on.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/handles.h"

namespace qm {

struct LocalFreeDeleter {
    void operator()(void* memory) const { ::LocalFree(memory); }
};
using LocalMemory = std::unique_ptr<void, LocalFreeDeleter>;

// The process user's SID, binary and as text ("S-1-5-21-...").
struct ProcessUser {
    std::vector<unsigned char> token;
    std::wstring text;
    PSID Sid() const { return reinterpret_cast<const TOKEN_USER*>(token.data())->User.Sid; }
};
// Nothing when the token cannot tell.
std::optional<ProcessUser> CurrentUser();

// Owned by the user, who alone may open it: what this program gives its named objects.
LocalMemory UserOnlyDescriptor(const ProcessUser& user);

// True when an existing object is one this program made: the user owns it and its access
// list grants nobody else anything. A squatter's object (another owner, no descriptor, or a
// grant to anyone else) is not.
bool IsOwnObject(HANDLE object, const ProcessUser& user);

// The mutex of that name, made now or opened when this program made it before (existed then
// tells which); none when the name is another kind of object, one this user may not open, or
// a squatter's.
UniqueKernelObject OwnMutex(const wchar_t* name, const ProcessUser& user, SECURITY_ATTRIBUTES& attributes,
                            bool* existed = nullptr);

}  // namespace qm
