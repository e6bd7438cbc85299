#include "online/auto_update.h"

#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <exception>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/app_error.h"
#include "base/program_version.h"
#include "base/text.h"
#include "clean/clean_lock.h"
#include "clean/deletion_guard.h"
#include "clean/held_delete.h"
#include "clean/run_state.h"
#include "online/check_progress.h"
#include "online/installer_check.h"
#include "online/update_check.h"
#include "startup/file_helpers.h"
#include "online/update_notice.h"
#include "online/web.h"
#include "startup/app_context.h"

namespace qm {

namespace {

constexpr DWORD kDownloadStallMs = 30000;                     // no data for this long ends it
constexpr std::uint64_t kMostInstallerBytes = 256ull << 20;
constexpr TrapSite kTrapGetUpdate{L"AutoUpdate", L"GetUpdate"};
// The download's folder under Temp, and the installer's name in it.
constexpr wchar_t kUpdateFolderPrefix[] = L"Quillmere-Update-";
constexpr wchar_t kUpdateInstaller[] = L"Update.exe";
// How long a leftover installer that is still running (the update that started this program,
// ending) is waited for before its folder is left for the next start.
constexpr int kLeftoverTries = 20;
constexpr auto kLeftoverRetry = std::chrono::milliseconds(250);

std::vector<unsigned> LocalVersion() {
    const ProgramVersion version;
    return {static_cast<unsigned>(version.major), static_cast<unsigned>(version.minor),
            static_cast<unsigned>(version.revision)};
}

void Tell(AppContext& ctx, const std::wstring& text, const std::wstring& title) {
    ctx.dialogs.ShowMessage({text, title, MB_OK | MB_ICONINFORMATION});
}

// A new folder of its own under Temp for one download; removed with its content unless kept.
class UpdateFolder {
public:
    UpdateFolder() {
        for (int attempt = 0; attempt < 20 && path_.empty(); ++attempt) {
            const std::wstring candidate = GetTempFile() + kUpdateFolderPrefix +
                                           std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                           std::to_wstring(::GetTickCount64() + attempt);
            if (::CreateDirectoryW(candidate.c_str(), nullptr)) path_ = candidate;
        }
    }
    ~UpdateFolder() {
        if (!kept_) Remove();
    }
    UpdateFolder(const UpdateFolder&) = delete;
    UpdateFolder& operator=(const UpdateFolder&) = delete;

    bool Made() const { return !path_.empty(); }
    std::wstring Installer() const { return path_ + L"\\" + kUpdateInstaller; }
    void Keep() { kept_ = true; }
    void Remove() {
        if (path_.empty()) return;
        ::DeleteFileW(Installer().c_str());
        ::RemoveDirectoryW(path_.c_str());
        path_.clear();
    }

private:
    std::wstring path_;
    bool kept_ = false;
};

bool StartWithShell(const std::wstring& installer, const std::wstring& arguments) {
    SHELLEXECUTEINFOW start{};
    start.cbSize = sizeof(start);
    start.fMask = SEE_MASK_NOASYNC;
    start.lpVerb = L"open";
    start.lpFile = installer.c_str();
    start.lpParameters = arguments.c_str();
    start.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&start) != FALSE;
}

bool InstallerIsGenuine(const std::wstring& installer, const PublishedVersion& offer) {
    const auto hash = FileSha256(installer);
    return hash && *hash == offer.installerHash && SignedLikeProgram(installer, RunningProgramPath());
}

// Downloads the installer into a folder of its own, checks it and starts it; the program
// then ends. Every failure removes the folder and tells the user; Exit cancels silently.
void DownloadAndStart(AppContext& ctx, const PublishedVersion& offer, const std::wstring& title) {
    UpdateFolder folder;
    ctx.update.downloading = true;
    WebReply reply;
    if (folder.Made() && ctx.web)
        reply = ctx.web->Download(ConfiguredWebSite().Url(kInstallerPath), folder.Installer(),
                                  {kDownloadStallMs, kMostInstallerBytes}, [&] {
                                      ctx.pump.DoEvents();  // the windows stay alive, Exit can ask to stop
                                      return !ctx.run.exitRequested;
                                  });
    ctx.update.downloading = false;
    if (reply.status == WebStatus::Cancelled) return;

    const auto start = ctx.update.startInstaller ? ctx.update.startInstaller : StartWithShell;
    if (!reply.Ok() || !InstallerIsGenuine(folder.Installer(), offer) ||
        !start(folder.Installer(), kInstallerArguments + std::to_wstring(::GetCurrentProcessId()))) {
        folder.Remove();
        Tell(ctx, kInstallerFailedText, title);
        return;
    }
    folder.Keep();  // the installer runs from there
    ctx.update.hasOffer = false;
    RequestExit(ctx);  // the program ends once the run has unwound
}

// The outcome as the user learns of it: every outcome when asked for, at start only a newer
// version, in the notice. True when a newer version is offered.
bool TellOutcome(AppContext& ctx, const CheckOutcome& outcome, bool manual) {
    using Kind = CheckOutcome::Kind;
    switch (outcome.kind) {
        case Kind::NotConnected:
            if (manual) Tell(ctx, kNotConnectedText, kNotConnectedTitle);
            return false;
        case Kind::VersionFileFailed:
            if (manual) Tell(ctx, kVersionFileFailedText, UpdateTitle(kAppTitle));
            return false;
        case Kind::Fault: return false;
        case Kind::Published: break;
    }
    const PublishedVersion& published = outcome.published;
    if (CompareVersions(published.version, LocalVersion()) > 0) {
        ctx.update.offered = published;
        ctx.update.hasOffer = true;
        ShowUpdateNotice(ctx);
        return true;
    }
    if (manual)
        Tell(ctx, L" The Dorvik " + published.displayName + L" Program Is Up-to-Date!",
             UpdateTitle(published.displayName));
    return false;
}

// How many installers a download folder holds (0 or 1); -1 when it holds anything else, and
// so is not one this program left.
int InstallersIn(const WalkFolder& folder) {
    int installers = 0;
    const bool listed = folder.ForEachEntry([&](const ListedEntry& entry) {
        const bool installer = !entry.IsFolder() && !entry.IsLink() && EqualsNoCase(entry.name, kUpdateInstaller);
        installers = installer && installers >= 0 ? installers + 1 : -1;
    });
    return listed ? installers : -1;
}

// One download folder: its installer, then the folder itself; nothing when it holds more.
void RemoveLeftover(DeletePass& pass, SkipReason& lastReason, const WalkFolder& temp, const ListedFolder& listed) {
    const std::optional<WalkFolder> folder = pass.Enter(temp, listed, FolderAccess::Delete);
    if (!folder) return;
    const int installers = InstallersIn(*folder);
    if (installers < 0) return;
    for (int attempt = 1; installers == 1 && !pass.DeleteFile(*folder, kUpdateInstaller); ++attempt) {
        if (lastReason != SkipReason::InUse || attempt == kLeftoverTries) return;
        std::this_thread::sleep_for(kLeftoverRetry);
    }
    pass.RemoveEmptied(*folder);
}

}  // namespace

void RemoveUpdateLeftovers(AppContext& ctx) {
    IgnoreErrors([&] {
        // It deletes as a clean does, so it waits its turn like one (or the next start does it).
        const std::optional<CleanLock> lock = CleanLock::Acquire();
        if (!lock) return;
        const GuardVerdict verdict = GuardDeletionRoot(WithoutTrailingSeparators(GetTempFile()), RootKind::Temp);
        if (!verdict.root) return;
        const WalkFolder& temp = verdict.root->Folder();
        std::vector<ListedFolder> leftovers;
        temp.ForEachEntryMatching(std::wstring(kUpdateFolderPrefix) + L"*", [&](const ListedEntry& entry) {
            if (entry.IsFolder() && !entry.IsLink()) leftovers.push_back(temp.Keep(entry));
        });
        SkipReason lastReason = SkipReason::None;
        DeletePass pass(ctx);
        pass.OnEvent([&](const DeleteEvent& event) { lastReason = event.reason; });
        for (const ListedFolder& listed : leftovers) RemoveLeftover(pass, lastReason, temp, listed);
    });
}

std::wstring UpdateTitle(const std::wstring& displayName) { return L"Dorvik " + displayName + L" AutoUpdate Program"; }

std::wstring GetTempFile() {
    wchar_t path[MAX_PATH + 1] = {};
    std::wstring folder(path, ::GetTempPathW(MAX_PATH + 1, path));
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return folder;
}

bool CheckForUpdate(AppContext& ctx) {
    ctx.flags.manualUpdateCheck = true;
    bool offered = false;
    try {
        // An unattended run has nobody to offer an update to: it never goes on line.
        if (ctx.Unattended() || ctx.update.downloading) throw std::exception();
        std::optional<CheckOutcome> outcome;
        if (ctx.web) {
            CheckProgressWindow progress(ctx.ui.MaxMinWindow());
            BackgroundCheck check(ctx.web, ConfiguredWebSite(), [&](const CheckOutcome& found) {
                outcome = found;
                progress.Destroy();
            });
            progress.SetCancel([&] { check.Cancel(); });
            // Until the outcome, Cancel or Exit; the windows, the menu and Exit stay alive.
            RunModal(progress.Handle(), nullptr, [&] { return !ctx.run.exitRequested; });
        } else {
            outcome = CheckOutcome{CheckOutcome::Kind::NotConnected, {}};  // no web at all
        }
        if (outcome) offered = TellOutcome(ctx, *outcome, true);
    } catch (...) {
        offered = false;  // a fault, or no check to make: the check ends without a message
    }
    ctx.flags.manualUpdateCheck = false;
    return offered;
}

void CheckForUpdateInBackground(AppContext& ctx) {
    if (ctx.Unattended() || !ctx.web) return;
    ctx.flags.updateAtStart = true;
    const BackgroundCheck::Done tell = [&ctx](const CheckOutcome& outcome) {
        IgnoreErrors([&] { TellOutcome(ctx, outcome, false); });
        ctx.flags.updateAtStart = false;
    };
    const std::wstring helper = ctx.update.startCheckHelper;
    ctx.update.startCheck = helper.empty()
                                ? std::make_unique<BackgroundCheck>(ctx.web, ConfiguredWebSite(), tell)
                                : std::make_unique<BackgroundCheck>([helper] { return FetchInHelperProcess(helper); }, tell);
}

bool UpdateCheckInBackground(const AppContext& ctx) {
    return ctx.update.startCheck && ctx.update.startCheck->Running();
}

void GetUpdate(AppContext& ctx) {
    // Refused while a clean runs, as a second clean would be.
    if (!ctx.update.hasOffer || ctx.update.downloading || RunActive(ctx)) return;
    const PublishedVersion offer = ctx.update.offered;
    const std::wstring title = UpdateTitle(offer.displayName);
    ctx.flags.manualUpdateCheck = true;
    const int answer = ctx.dialogs.ShowMessage(
        {L"Download and install Dorvik " + offer.displayName + L" " + offer.versionText +
             L" now?\r\n\r\nQuillmere ends while the update is installed.",
         title, MB_YESNO | MB_ICONQUESTION});
    if (answer != IDYES) return;

    // The download is the one active run: no clean starts meanwhile, and Exit stops it. A
    // clean started while the question was open refuses it; the notice offers it again.
    const bool ran = RunExclusive(ctx, kTrapGetUpdate, [&] { DownloadAndStart(ctx, offer, title); });
    if (!ran) ShowUpdateNotice(ctx);
}

}  // namespace qm
