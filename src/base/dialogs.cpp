#include "base/dialogs.h"

namespace qm {

int SystemDialogs::ShowMessage(const MessageBoxRequest& request) {
    return ::MessageBoxW(request.owner, request.text.c_str(), request.title.c_str(),
                         request.style | MB_SETFOREGROUND);
}

int SystemDialogs::ShowTimed(const TimedBoxRequest& request) { return ShowTimedDialog(request); }

}  // namespace qm

namespace qm {

int SafeAnswer(UINT style) {
    switch (style & MB_TYPEMASK) {
        case MB_OK: return IDOK;
        case MB_YESNO: return IDNO;
        case MB_ABORTRETRYIGNORE: return IDABORT;
        default: return IDCANCEL;  // OK/Cancel, Yes/No/Cancel, Retry/Cancel, Cancel/Try/Continue
    }
}

int SafeAnswer(const TimedBoxRequest& request) {
    // The self-closing box answers 1 (its first button) or 2 (Cancel); a notice has only the first.
    return request.singleButton || (!request.twoButton && (request.style & MB_TYPEMASK) == MB_OK) ? 1 : 2;
}

void DialogGate::Keep(const std::wstring& title, const std::wstring& text) {
    unshown_.push_back(title + L": " + text);
    ::OutputDebugStringW((L"Quillmere (unattended) " + unshown_.back() + L"\n").c_str());
}

int DialogGate::ShowMessage(const MessageBoxRequest& request) {
    if (!unattended_) return shown_.ShowMessage(request);
    Keep(request.title, request.text);
    return SafeAnswer(request.style);
}

int DialogGate::ShowTimed(const TimedBoxRequest& request) {
    if (!unattended_) return shown_.ShowTimed(request);
    Keep(request.title, request.text);
    return SafeAnswer(request);
}

}  // namespace qm
