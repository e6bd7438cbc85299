#include "startup/single_instance.h"

#include <string>

#include "base/user_objects.h"
#include "ui/desktop_host.h"
#include "ui/tray_menu.h"

namespace qm {

namespace {

// "Local\": one per logon session, so another session of the same user has its own copy.
constexpr wchar_t kResidentNameBase[] = L"Local\\Dorvik.Quillmere.Resident.";

}  // namespace

std::optional<ResidentInstance> ResidentInstance::Claim() {
    const std::optional<ProcessUser> user = CurrentUser();
    if (!user) return ResidentInstance(UniqueKernelObject());
    const LocalMemory descriptor = UserOnlyDescriptor(*user);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
    bool existed = false;
    UniqueKernelObject mutex = OwnMutex((kResidentNameBase + user->text).c_str(), *user, attributes, &existed);
    if (existed) return std::nullopt;
    return ResidentInstance(std::move(mutex));
}

bool AskResidentToShowOptions() {
    // The hidden window that owns the tray menu takes the menu's items as commands.
    const HWND resident = ::FindWindowW(kMaxMinWindowClass, nullptr);
    if (!resident) return false;
    DWORD process = 0;
    ::GetWindowThreadProcessId(resident, &process);
    ::AllowSetForegroundWindow(process);  // the options window may come to the front
    return ::PostMessageW(resident, WM_COMMAND, TrayMenuCommandId(L"Configure Program"), 0) != FALSE;
}

}  // namespace qm
