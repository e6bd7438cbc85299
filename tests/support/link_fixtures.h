#pragma once
// Directory links for tests of the "never follow a link" rule, removed again without
// ever touching their targets.
#include <memory>
#include <string>
#include <vector>

#include "clean/folder_walk.h"

namespace qm::test {

// A directory link at link pointing at target, for the fixture's lifetime. Created with
// MakeDirectoryLink; removed as a link (under Wine through the Unix side, because the
// Windows calls there would remove an empty target instead).
class ScopedDirectoryLink {
public:
    ScopedDirectoryLink(std::wstring link, const std::wstring& target);
    ~ScopedDirectoryLink();
    ScopedDirectoryLink(const ScopedDirectoryLink&) = delete;
    ScopedDirectoryLink& operator=(const ScopedDirectoryLink&) = delete;

    bool Made() const { return made_; }
    const std::wstring& Path() const { return link_; }

private:
    std::wstring link_;
    bool made_ = false;
};

// A drive letter mapped onto a folder for the fixture's lifetime (under Wine a link in the
// prefix's "dosdevices" folder, as a substituted drive is on Windows). Never the prefix's C:.
class ScratchDrive {
public:
    explicit ScratchDrive(const std::wstring& folder);
    ~ScratchDrive();
    ScratchDrive(const ScratchDrive&) = delete;
    ScratchDrive& operator=(const ScratchDrive&) = delete;

    bool Made() const { return !root_.empty(); }
    const std::wstring& Root() const { return root_; }  // "Q:\"

private:
    // True while Wine still names the mapped folder through the drive letter.
    bool StillNamedThroughDrive() const;

    std::wstring folder_;
    std::wstring root_;
    std::string unixLink_;
};

// Puts something else in place of every folder named victim just before the walk opens it,
// from the Unix side as another program would (the walk holds the parent open): a link to
// target, or, when target is empty, a new plain folder holding a file "planted.txt". The
// folder that was there is moved to its name + "-moved".
class SwapBeforeOpen final : public WalkHooks {
public:
    SwapBeforeOpen(std::wstring victim, std::wstring target) : victim_(std::move(victim)), target_(std::move(target)) {}
    void BeforeDescend(const std::wstring& longPath) override;
    int Swaps() const { return swaps_; }
    // Removes the links again (and waits until Wine shows them gone).
    void RemoveLinks();

private:
    std::wstring victim_, target_;
    int swaps_ = 0;
    std::vector<std::unique_ptr<ScopedDirectoryLink>> links_;
};

// Every file below folder (links not entered), as paths relative to folder, sorted.
std::wstring ListTree(const std::wstring& folder);
// The names of the subfolders of folder (links too), in the order the file system lists them.
std::vector<std::wstring> ListSubfolders(const std::wstring& folder);

}  // namespace qm::test
