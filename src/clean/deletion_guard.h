#pragma once
// The one guard in front of every folder that a clean empties from the top: the Temp folder,
// each user folder, each browser cache location and each cookie store. A root that passes
// is handed over held open, so the walk that empties it starts from the very folder that
// was judged.
#include <optional>
#include <string>

#include "clean/folder_walk.h"
#include "clean/sys_check.h"

namespace qm {

enum class RootKind {
    Temp,           // the process's Temp folder
    UserFolder,     // a folder of the user's list: accepted where the folder editor accepts it
    InternetCache,  // may be the Internet cache shell folder itself
    CookieStore,    // may be the Cookies shell folder itself
};

enum class RootRefusal {
    None,
    Empty,        // no path at all
    NotFullPath,  // relative or drive-relative ("C:", "C:name", "\name")
    DriveRoot,    // a drive or share root in any spelling
    Link,         // the root itself is a link
    CannotOpen,   // missing, not a folder, or not to be opened
    NotExact,     // written otherwise than the system would name it ("Y ", "X.", "a\..\b")
    Protected,    // a protected folder or a folder that holds one
};

// A root that passed the guard, held open.
class GuardedRoot {
public:
    WalkFolder& Folder() { return folder_; }
    const WalkFolder& Folder() const { return folder_; }

private:
    friend class DeletionGuard;
    explicit GuardedRoot(WalkFolder folder) : folder_(std::move(folder)) {}
    WalkFolder folder_;
};

struct GuardVerdict {
    RootRefusal refusal = RootRefusal::None;
    std::optional<GuardedRoot> root;  // set when accepted
};

// Judges roots against the protected folders as they were when it was made; a clean that
// empties several roots makes one and asks it for each.
class DeletionGuard {
public:
    DeletionGuard() : protected_(ProtectedFolders::Load()) {}
    explicit DeletionGuard(ProtectedFolders protectedFolders) : protected_(std::move(protectedFolders)) {}

    // The path passes the gate first (origin: discovery's list, or given by settings and the
    // environment); a refusal of the gate is NotExact.
    GuardVerdict Check(const std::wstring& path, RootKind kind, PathOrigin origin = PathOrigin::Given) const;
    GuardVerdict Check(const GatedPath& path, RootKind kind) const;

private:
    ProtectedFolders protected_;
};

// The guard's judgement of a held folder: a drive root, a protected folder or one that holds
// one (the cache and cookie kinds may be their own shell folder).
RootRefusal JudgeRoot(const ProtectedFolders& protectedFolders, const WalkFolder& folder, RootKind kind);
// True when a profile, store or discovery root may not be searched or cleaned at all: it is
// a drive root, or is or holds a protected folder, other than the cache or cookie shell folder.
bool IsProtectedRoot(const ProtectedFolders& protectedFolders, const WalkFolder& folder);

// One root, judged against the protected folders as they are now.
inline GuardVerdict GuardDeletionRoot(const std::wstring& path, RootKind kind) {
    return DeletionGuard().Check(path, kind);
}

// Why a root was not emptied, in the program's words, naming the path ("" for None):
// "The Temp Variable Names A System Folder:" + CRLF CRLF + path, for example.
std::wstring RefusalText(RootKind kind, RootRefusal refusal, const std::wstring& path);
// The first line of the box that tells the user: "Your Temp Folder Was Not Cleaned." and the like.
std::wstring NotCleanedHeading(RootKind kind);

}  // namespace qm
