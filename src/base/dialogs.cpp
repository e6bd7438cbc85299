#include "base/dialogs.h"

namespace qm {

int SystemDialogs::ShowMessage(const MessageBoxRequest& request) {
    return ::MessageBoxW(request.owner, request.text.c_str(), request.title.c_str(),
                         request.style | MB_SETFOREGROUND);
}

int SystemDialogs::ShowTimed(const TimedBoxRequest& request) { return ShowTimedDialog(request); }

}  // namespace qm
