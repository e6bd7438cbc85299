#include "clean/timed_message_box.h"

#include <utility>

#include "base/app_error.h"
#include "startup/app_context.h"

namespace qm {

namespace {

constexpr TrapSite kTimedMessageBoxH{L"TimedMessageBox", L"TimedMessageBoxH"};

TimedBoxRequest RequestFor(const MsgBoxParams& params, const TimedBoxState& state) {
    TimedBoxRequest request;
    request.text = params.Text;
    request.title = params.Caption;
    request.style = params.Style;
    request.owner = params.hWndOwner;
    request.seconds = params.Seconds;
    request.timeoutButton = params.TimeoutButton;
    request.singleButton = state.bSingleButton;
    request.twoButton = state.bTwoButton;
    request.captions = state.buttonCaptions;
    return request;
}

MsgBoxParams ParamsFor(const std::wstring& text, HWND owner, int seconds, UINT style, int timeoutButton) {
    MsgBoxParams params;
    params.hWndOwner = owner;
    params.Style = style;
    params.Seconds = seconds;
    params.TimeoutButton = timeoutButton;
    params.Text = text;
    return params;
}

}  // namespace

int SingleButtonMsg(AppContext& ctx, const std::wstring& text, HWND owner, int seconds) {
    ctx.timedBox.buttonCaptions[0] = L"OK";
    // The only button of an OK box answers to IDCANCEL's id, as on the platform's own box.
    return TimedMessageBoxH(ctx, ParamsFor(text, owner, seconds, kTimedBoxOneButtonStyle, IDCANCEL));
}

MsgBoxParams TwoButtonMsg(AppContext& ctx, const std::wstring& text, HWND owner, int seconds, int timeoutButton,
                          UINT style) {
    ctx.timedBox.buttonCaptions[0] = L"OK";
    ctx.timedBox.buttonCaptions[1] = L"Cancel";
    return ParamsFor(text, owner, seconds, style, timeoutButton);
}

int TimedMessageBoxH(AppContext& ctx, const MsgBoxParams& params) {
    int result = IDCANCEL;
    TrapStep(ctx.dialogs, kTimedMessageBoxH,
             [&] { result = ctx.dialogs.ShowTimed(RequestFor(params, ctx.timedBox)); });
    // Each box serves one caller: the next starts without mode, captions or text.
    ctx.timedBox = TimedBoxState{};
    return result;
}

int ShowTimedNotice(AppContext& ctx, std::wstring text, HWND owner, int seconds) {
    ctx.timedBox.bSingleButton = true;
    ctx.timedBox.TimedMsgText = std::move(text);
    const int result = SingleButtonMsg(ctx, ctx.timedBox.TimedMsgText, owner, seconds);
    ctx.timedBox.bSingleButton = false;
    return result;
}

int AskTimedQuestion(AppContext& ctx, std::wstring text, HWND owner, int seconds, int timeoutButton, UINT style) {
    ctx.timedBox.bTwoButton = true;
    ctx.timedBox.TimedMsgText = std::move(text);
    const MsgBoxParams params = TwoButtonMsg(ctx, ctx.timedBox.TimedMsgText, owner, seconds, timeoutButton, style);
    const int result = TimedMessageBoxH(ctx, params);
    ctx.timedBox.bTwoButton = false;
    return result;
}

}  // namespace qm
