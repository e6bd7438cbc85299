#include "clean/held_delete.h"

#include <deque>
#include <optional>

#include "base/text.h"
#include "startup/app_context.h"

namespace qm {

namespace {

// A file is opened as a file only (a folder put in its place is not touched), and a link
// as the link itself.
constexpr ULONG kFileOptions = FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT;
constexpr ACCESS_MASK kFileDeleteAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

// Attributes that the clean sets back to normal on a file that stays (as the file
// collector of the older cleans did); the others cannot be set by a caller anyway.
constexpr DWORD kResettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                        FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                        FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The status of a failed step: the system's error number, never 0.
std::int32_t FailureStatus(DWORD error) {
    return error != ERROR_SUCCESS ? static_cast<std::int32_t>(error) : static_cast<std::int32_t>(ERROR_GEN_FAILURE);
}

SkipReason ReasonOf(DWORD error, ItemKind kind) {
    switch (error) {
        case ERROR_SUCCESS: return SkipReason::None;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE: return SkipReason::InUse;
        case ERROR_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD: return SkipReason::AccessDenied;
        case ERROR_DIR_NOT_EMPTY: return SkipReason::NotEmpty;
        case kErrorNotTheListedFolder: return SkipReason::NotTheListedFolder;
        case kErrorSparedFolder: return SkipReason::SparedFolder;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return kind == ItemKind::File ? SkipReason::Failed : SkipReason::NotTheListedFolder;
        default: return SkipReason::Failed;
    }
}

class PlatformRemoverImpl final : public Remover {
public:
    DWORD RemoveFile(const WalkFolder& folder, std::wstring_view name, DWORD listed) override {
        // The usual file, not read-only: one open that deletes it as its handle closes, as
        // the system's own DeleteFile does (the open is refused when the file cannot go).
        if (!(listed & FILE_ATTRIBUTE_READONLY)) {
            if (OpenRelative(folder.Handle(), name, DELETE, kFileOptions | FILE_DELETE_ON_CLOSE))
                return ERROR_SUCCESS;
            const DWORD error = ::GetLastError();
            // Else made read-only since it was listed: the long way below clears the bit.
            if (error != ERROR_ACCESS_DENIED) return Stays(folder, name, listed, error);
        }
        UniqueFile file = OpenListedFileForDelete(folder, name);
        if (!file) return Stays(folder, name, listed, ::GetLastError());
        bool reset = false;
        if (listed & FILE_ATTRIBUTE_READONLY) reset = SetAttributesThroughHandle(file.get(), FILE_ATTRIBUTE_NORMAL);
        if (DeleteThroughHandle(file.get())) return ERROR_SUCCESS;
        DWORD error = ::GetLastError();
        // Made read-only since it was listed: cleared, and asked once more.
        if (error == ERROR_ACCESS_DENIED && !reset) {
            reset = SetAttributesThroughHandle(file.get(), FILE_ATTRIBUTE_NORMAL);
            if (reset && DeleteThroughHandle(file.get())) return ERROR_SUCCESS;
            error = ::GetLastError();
        }
        if ((listed & kResettableAttributes) && !reset) SetAttributesThroughHandle(file.get(), FILE_ATTRIBUTE_NORMAL);
        return error;
    }

    DWORD RemoveLink(const WalkFolder& folder, std::wstring_view name) override {
        return qm::RemoveLink(folder, name) ? ERROR_SUCCESS : ::GetLastError();
    }

    DWORD RemoveFolder(const WalkFolder& folder) override {
        return RemoveEmptiedFolder(folder) ? ERROR_SUCCESS : ::GetLastError();
    }

private:
    // A file that cannot go (in use): its attributes are still set back, as attribute
    // access shares with anyone. Returns error.
    static DWORD Stays(const WalkFolder& folder, std::wstring_view name, DWORD listed, DWORD error) {
        if (listed & kResettableAttributes) {
            UniqueFile attributesOnly =
                OpenRelative(folder.Handle(), name, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kFileOptions);
            if (attributesOnly) SetAttributesThroughHandle(attributesOnly.get(), FILE_ATTRIBUTE_NORMAL);
        }
        return error;
    }
};

}  // namespace

UniqueFile OpenListedFileForDelete(const WalkFolder& folder, std::wstring_view name) {
    return OpenRelative(folder.Handle(), name, kFileDeleteAccess, kFileOptions);
}

Remover& PlatformRemover() {
    static PlatformRemoverImpl remover;
    return remover;
}

DeletePass::DeletePass(AppContext& ctx)
    : remover_(ctx.deletes.remover ? *ctx.deletes.remover : PlatformRemover()),
      observer_(ctx.deletes.observer),
      progressOf_(ctx.progress.shown ? &ctx : nullptr) {}

void DeletePass::Tell(std::wstring_view path, ItemKind kind, SkipReason reason, DWORD error) {
    if (counted_ || (!react_ && !observer_)) return;
    const DeleteEvent event{path, kind, reason, error};
    if (react_) react_(event);
    if (observer_) observer_->Seen(event);
}

std::int32_t DeletePass::Outcome(std::wstring_view path, ItemKind kind, DWORD error) {
    Tell(path, kind, ReasonOf(error, kind), error);
    return error == ERROR_SUCCESS ? 0 : FailureStatus(error);
}

bool DeletePass::Spared(const ListedFolder& listed) {
    if (!IsOutlookOrOfficeFolder(listed.Name())) return false;
    Tell(listed.longPath, ItemKind::Folder, SkipReason::SparedFolder, ERROR_SUCCESS);
    return true;
}

bool DeletePass::DeleteFile(const WalkFolder& folder, std::wstring_view name, DWORD listedAttributes) {
    if (counted_) {
        ++*counted_;
        return true;
    }
    const DWORD error = remover_.RemoveFile(folder, name, listedAttributes);
    if (react_ || observer_) Tell(folder.ChildPath(name), ItemKind::File, ReasonOf(error, ItemKind::File), error);
    if (progressOf_) FileDealtWith(*progressOf_);
    return error == ERROR_SUCCESS;
}

std::uint64_t DeletePass::CountFiles(const WalkFolder& top) {
    counted_ = 0;
    Walk(top, true, false, OnFailedSubfolder::GoOn, {});
    const std::uint64_t files = *counted_;
    counted_.reset();
    return files;
}

std::int32_t DeletePass::RemoveEmptied(const WalkFolder& folder) {
    return Outcome(folder.LongPath(), ItemKind::Folder, remover_.RemoveFolder(folder));
}

std::vector<ListedFolder> DeletePass::Subfolders(const WalkFolder& folder) {
    std::vector<ListedFolder> folders;
    folder.ForEachEntry([&](const ListedEntry& entry) {
        if (entry.IsFolder()) folders.push_back(folder.Keep(entry));
    });
    std::erase_if(folders, [&](const ListedFolder& listed) { return Spared(listed); });
    return folders;
}

std::optional<WalkFolder> DeletePass::Enter(const WalkFolder& parent, const ListedFolder& listed,
                                            FolderAccess access) {
    std::optional<WalkFolder> folder = parent.OpenChild(listed, access);
    if (folder) return folder;
    const DWORD error = ::GetLastError();
    Outcome(listed.longPath, ItemKind::Folder, FailureStatus(error));
    ::SetLastError(error);
    return std::nullopt;
}

std::int32_t DeletePass::RemoveSubfolder(const WalkFolder& parent, const ListedFolder& listed,
                                         OnFailedSubfolder rule) {
    if (Spared(listed)) return FailureStatus(ERROR_DIR_NOT_EMPTY);
    if (listed.IsLink()) return Outcome(listed.longPath, ItemKind::Link, remover_.RemoveLink(parent, listed.Name()));
    std::optional<WalkFolder> folder = Enter(parent, listed, FolderAccess::Delete);
    if (!folder) return FailureStatus(::GetLastError());
    const std::int32_t status = Empty(*folder, rule);
    if (status != 0 && rule == OnFailedSubfolder::Stop) return status;
    return RemoveEmptied(*folder);
}

std::int32_t DeletePass::Empty(const WalkFolder& folder, OnFailedSubfolder rule) {
    return Walk(folder, true, true, rule, {});
}

void DeletePass::DeleteFiles(const WalkFolder& top, bool recurse, const FileChoice& choose) {
    Walk(top, recurse, false, OnFailedSubfolder::GoOn, choose);
}

// One folder of the walk: held while its files are dealt with and its subfolders visited.
struct DeletePass::Frame {
    const WalkFolder* top = nullptr;  // the caller's folder, for the first frame
    std::optional<WalkFolder> owned;  // a subfolder the walk opened
    std::wstring relative;            // below the top, with a trailing "\" ("" for the top)
    std::vector<ListedFolder> subfolders;
    size_t next = 0;
    std::int32_t status = 0;  // the first failure below it

    const WalkFolder& Folder() const { return owned ? *owned : *top; }
    void Record(std::int32_t result) {
        if (result != 0 && status == 0) status = result;
    }
};

std::int32_t DeletePass::Walk(const WalkFolder& top, bool recurse, bool removeFolders, OnFailedSubfolder rule,
                              const FileChoice& choose) {
    const bool keepSubfolders = recurse || removeFolders;
    // Files go while the listing is read; subfolders wait for the end of it, so that only
    // one listing per level is open. Links come after the folders: a link that stays (Wine
    // cannot remove one) must not keep the real folders beside it from being emptied.
    const auto list = [&](Frame& frame) {
        const WalkFolder& folder = frame.Folder();
        std::vector<ListedFolder> links;
        const bool listed = folder.ForEachEntry([&](const ListedEntry& entry) {
            if (entry.IsFolder()) {
                if (keepSubfolders) (entry.IsLink() ? links : frame.subfolders).push_back(folder.Keep(entry));
            } else if (!choose || choose(frame.relative + std::wstring(entry.name))) {
                DeleteFile(folder, entry.name, entry.attributes);
            }
        });
        frame.subfolders.insert(frame.subfolders.end(), links.begin(), links.end());
        if (!listed) frame.Record(FailureStatus(::GetLastError()));
    };

    std::deque<Frame> frames;  // references stay valid as frames come and go at the back
    frames.emplace_back().top = &top;
    list(frames.back());
    for (;;) {
        Frame& frame = frames.back();
        const bool stopped = rule == OnFailedSubfolder::Stop && frame.status != 0;
        if (!stopped && frame.next < frame.subfolders.size()) {
            const ListedFolder& sub = frame.subfolders[frame.next++];
            if (Spared(sub)) continue;
            if (sub.IsLink()) {
                if (removeFolders)
                    frame.Record(Outcome(sub.longPath, ItemKind::Link, remover_.RemoveLink(frame.Folder(), sub.Name())));
                continue;
            }
            std::optional<WalkFolder> child =
                frame.Folder().OpenChild(sub, removeFolders ? FolderAccess::Delete : FolderAccess::List);
            if (!child) {
                const std::int32_t failed = Outcome(sub.longPath, ItemKind::Folder, FailureStatus(::GetLastError()));
                if (removeFolders) frame.Record(failed);
                continue;
            }
            Frame& entered = frames.emplace_back();
            entered.owned = std::move(child);
            if (choose) entered.relative = frame.relative + std::wstring(sub.Name()) + L'\\';
            list(entered);
            continue;
        }
        // Every subfolder visited (or a failure stops the walk): the folder itself is done.
        std::int32_t result = frame.status;
        if (frames.size() == 1) return result;
        if (removeFolders && !stopped) result = RemoveEmptied(*frame.owned);
        frames.pop_back();
        frames.back().Record(result);
    }
}

}  // namespace qm
