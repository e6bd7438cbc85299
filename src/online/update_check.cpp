#include "online/update_check.h"

#include <windows.h>

#include <mutex>
#include <optional>
#include <thread>

#include "base/handles.h"
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

namespace {

// The helper's answer: the outcome's name on the first line, then the version file.
constexpr std::string_view kOutcomeNames[] = {"not-connected", "version-file-failed", "published", "fault"};
constexpr size_t kMostHelperBytes = 16 * 1024;

CheckOutcome ParseHelperAnswer(std::string_view answer) {
    const size_t end = answer.find('\n');
    const std::string_view name = answer.substr(0, end);
    for (size_t kind = 0; kind < std::size(kOutcomeNames); ++kind) {
        if (name != kOutcomeNames[kind]) continue;
        CheckOutcome outcome{static_cast<CheckOutcome::Kind>(kind), {}};
        if (outcome.kind != CheckOutcome::Kind::Published) return outcome;
        const auto published = ParseVersionFile(end == std::string_view::npos ? "" : answer.substr(end + 1));
        if (published) outcome.published = *published;
        else outcome.kind = CheckOutcome::Kind::Fault;
        return outcome;
    }
    return {CheckOutcome::Kind::Fault, {}};
}

}  // namespace

CheckOutcome FetchInHelperProcess(const std::wstring& program) {
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, kMostHelperBytes)) return {CheckOutcome::Kind::Fault, {}};
    UniqueFile reader(readEnd), writer(writeEnd);
    ::SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);
    // The helper ends with this process at the latest: it belongs to a job closed with it.
    UniqueKernelObject job(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job) ::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));

    std::wstring commandLine = L"\"" + program + L"\" " + kFetchVersionArgument;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer.get();
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                          CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &startup, &process))
        return {CheckOutcome::Kind::Fault, {}};
    UniqueKernelObject helper(process.hProcess), thread(process.hThread);
    if (job) ::AssignProcessToJobObject(job.get(), helper.get());
    ::ResumeThread(thread.get());
    writer.reset();  // the pipe ends when the helper does

    // The answer fits in the pipe, so the helper never waits on it: wait for it to end first.
    if (::WaitForSingleObject(helper.get(), kFetchHelperTimeoutMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(helper.get(), 1);
        return {CheckOutcome::Kind::NotConnected, {}};
    }
    std::string answer(kMostHelperBytes, '\0');
    DWORD read = 0, total = 0;
    while (total < answer.size() && ::ReadFile(reader.get(), answer.data() + total,
                                               static_cast<DWORD>(answer.size() - total), &read, nullptr) && read > 0)
        total += read;
    answer.resize(total);
    return ParseHelperAnswer(answer);
}

int WriteFetchedVersion(Web& web) {
    CheckOutcome outcome{CheckOutcome::Kind::Fault, {}};
    try {
        outcome = FetchPublishedVersion(web, ConfiguredWebSite());
    } catch (...) {
    }
    std::string answer(kOutcomeNames[static_cast<size_t>(outcome.kind)]);
    answer += '\n';
    if (outcome.kind == CheckOutcome::Kind::Published) answer += VersionFileText(outcome.published);
    DWORD written = 0;
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    return out && ::WriteFile(out, answer.data(), static_cast<DWORD>(answer.size()), &written, nullptr) ? 0 : 1;
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
    : BackgroundCheck(web ? Fetch([web, site] { return FetchPublishedVersion(*web, site); }) : Fetch(),
                      std::move(done)) {}

BackgroundCheck::BackgroundCheck(Fetch fetch, Done done)
    : done_(std::move(done)), shared_(std::make_shared<Shared>()), window_(std::make_unique<ReplyWindow>(*this)) {
    shared_->replyTo = window_->Handle();
    if (!shared_->replyTo || !fetch) {
        shared_->running = false;
        return;
    }
    std::thread([shared = shared_, fetch = std::move(fetch)] {
        CheckOutcome outcome;
        try {
            outcome = fetch();
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
