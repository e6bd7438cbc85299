#pragma once
// One resident copy per user and logon session. A second start of the resident program
// finds the first, asks it to show its options window and ends; "auto" and the console
// program are not resident and never ask.
#include <optional>

#include "base/handles.h"

namespace qm {

class ResidentInstance {
public:
    // Claims this session's resident place; nothing when a resident copy of this user holds
    // it. A name someone else made first (a squatter's) does not keep the program from
    // starting: then it starts without the claim.
    static std::optional<ResidentInstance> Claim();

private:
    explicit ResidentInstance(UniqueKernelObject mutex) : mutex_(std::move(mutex)) {}
    UniqueKernelObject mutex_;
};

// Asks the resident copy of this session to show its options window, as its tray menu's
// "Configure Program" does. False when no resident window was found.
bool AskResidentToShowOptions();

}  // namespace qm
