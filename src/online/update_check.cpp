#include "online/update_check.h"

#include <windows.h>

#include <mutex>
#include <optional>
#include <thread>

#include "online/auto_update.h"
#include "online/net_connect.h"
#include "ui/window.h"

namespace qm {

namespace {

constexpr wchar_t kReplyWindowClass[] = L"QuillmereUpdateCheck";
constexpr UINT kOutcomeMessage = WM_APP + 1;
constexpr std::uint64_t kMostVersionFileBytes = 4096;

}  // namespace

CheckOutcome FetchPublishedVersion(Web& web, const WebSite& site) {
    if (!CNetConnect(web, {site.HomePage()}).Connected()) return {CheckOutcome::Kind::NotConnected, {}};
    const WebReply reply = web.Get(site.Url(kVersionFilePath), {kProbeTimeoutMs, kMostVersionFileBytes});
    const auto published = reply.Ok() ? ParseVersionFile(reply.body) : std::nullopt;
    if (!published) return {CheckOutcome::Kind::VersionFileFailed, {}};
    return {CheckOutcome::Kind::Published, *published};
}

// What the check's thread and the window thread share: the outcome, and where to announce
// it (nowhere once cancelled).
struct BackgroundCheck::Shared {
    std::mutex lock;
    HWND replyTo = nullptr;
    std::optional<CheckOutcome> outcome;
    bool running = true;
};

// A message-only window on the starting thread that receives the announcement.
class BackgroundCheck::ReplyWindow final : public Window {
public:
    explicit ReplyWindow(BackgroundCheck& check) : check_(check) {
        Create({kReplyWindowClass, L"", 0, 0, 0, 0, HWND_MESSAGE});
    }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message != kOutcomeMessage) return Default(message, wParam, lParam);
        check_.Deliver();
        return 0;
    }

private:
    BackgroundCheck& check_;
};

BackgroundCheck::BackgroundCheck(std::shared_ptr<Web> web, const WebSite& site, Done done)
    : done_(std::move(done)), shared_(std::make_shared<Shared>()), window_(std::make_unique<ReplyWindow>(*this)) {
    shared_->replyTo = window_->Handle();
    if (!shared_->replyTo || !web) {
        shared_->running = false;
        return;
    }
    std::thread([shared = shared_, web = std::move(web), site] {
        CheckOutcome outcome;
        try {
            outcome = FetchPublishedVersion(*web, site);
        } catch (...) {
            outcome.kind = CheckOutcome::Kind::Fault;
        }
        const std::lock_guard guard(shared->lock);
        shared->outcome = std::move(outcome);
        if (shared->replyTo) ::PostMessageW(shared->replyTo, kOutcomeMessage, 0, 0);
    }).detach();
}

void BackgroundCheck::Deliver() {
    std::optional<CheckOutcome> outcome;
    {
        const std::lock_guard guard(shared_->lock);
        if (!shared_->running || !shared_->outcome) return;
        shared_->running = false;
        outcome = std::move(shared_->outcome);
    }
    done_(*outcome);
}

BackgroundCheck::~BackgroundCheck() { Cancel(); }

void BackgroundCheck::Cancel() {
    const std::lock_guard guard(shared_->lock);
    shared_->replyTo = nullptr;
    shared_->running = false;
}

bool BackgroundCheck::Running() const {
    const std::lock_guard guard(shared_->lock);
    return shared_->running;
}

}  // namespace qm
