#pragma once
// Directory links for tests of the "never follow a link" rule, removed again without
// ever touching their targets.
#include <string>

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
    std::wstring root_;
    std::string unixLink_;
};

// Every file below folder (links not entered), as paths relative to folder, sorted.
std::wstring ListTree(const std::wstring& folder);

}  // namespace qm::test
