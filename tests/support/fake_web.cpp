#include "support/fake_web.h"

#include <algorithm>

#include "online/auto_update.h"
#include "startup/app_context.h"
#include "support/fixtures.h"

namespace qm::test {

bool FakeWeb::ConnectedState(DWORD& stateFlags) {
    ++stateAsked;
    stateFlags = flags;
    return connected;
}

bool FakeWeb::Answers(const std::wstring& url, DWORD) {
    if (beforeAnswer) beforeAnswer();
    asked.push_back(url);
    return std::find(answering.begin(), answering.end(), url) != answering.end();
}

WebReply FakeWeb::Get(const std::wstring& url, const WebLimits& limits) {
    if (beforeAnswer) beforeAnswer();
    asked.push_back(url);
    const auto found = replies.find(url);
    if (found == replies.end()) return {};
    WebReply reply = found->second;
    if (reply.body.size() > limits.maxBytes) return {WebStatus::TooLarge, reply.httpStatus, {}};
    return reply;
}

WebReply FakeWeb::Download(const std::wstring& url, const std::wstring& file, const WebLimits& limits,
                           const std::function<bool()>& keepGoing) {
    WebReply reply = Get(url, limits);
    if (reply.Ok() && beforeKeepGoing) beforeKeepGoing();
    if (reply.Ok() && keepGoing && !keepGoing()) reply = {WebStatus::Cancelled, 200, {}};
    if (!reply.Ok()) return reply;
    WriteBytes(file, reply.body);
    downloadedTo.push_back(file);
    reply.body.clear();
    return reply;
}

bool CheckAtStart(AppContext& ctx) {
    ctx.update.hasOffer = false;
    CheckForUpdateInBackground(ctx);
    PumpMessages(30000, [&] { return !UpdateCheckInBackground(ctx); });
    return ctx.update.hasOffer;
}

bool FakeWeb::OpenPage(HWND, const std::wstring& url) {
    opened.push_back(url);
    return true;
}

}  // namespace qm::test
