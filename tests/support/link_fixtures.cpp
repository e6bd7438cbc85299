#include "support/link_fixtures.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/handles.h"
#include "base/text.h"
#include "clean/search_delete.h"
#include "support/fixtures.h"

namespace qm::test {

namespace {

void CollectTree(const std::wstring& folder, const std::wstring& relative, std::vector<std::wstring>& names) {
    WIN32_FIND_DATAW entry;
    UniqueFindHandle find(::FindFirstFileW(LongPath(folder + L"\\*").c_str(), &entry));
    if (!find) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(path);
        else if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            CollectTree(folder + L"\\" + name, path, names);
    } while (::FindNextFileW(find.get(), &entry));
}

}  // namespace

ScopedDirectoryLink::ScopedDirectoryLink(std::wstring link, const std::wstring& target)
    : link_(std::move(link)), made_(MakeDirectoryLink(link_, target)) {}

ScopedDirectoryLink::~ScopedDirectoryLink() {
    if (!PathExists(link_)) return;
    const std::string unixPath = WineUnixPath(link_);
    if (!unixPath.empty()) {
        // No trailing slash: rm removes the link itself, never what it points at. Wine may
        // report the Unix child ended before it has run: wait, so that the folder holding the
        // link is not removed around a link still there and the next test meets no leftover.
        RunUnixCommand(L"/bin/rm -f \"" + WidenUtf8(unixPath) + L"\"");
        for (int attempt = 0; attempt < 200 && PathExists(link_); ++attempt) ::Sleep(25);
        return;
    }
    ::RemoveDirectoryW(LongPath(link_).c_str());  // on Windows this removes the link itself
}

ScratchDrive::ScratchDrive(const std::wstring& folder) : folder_(folder) {
    const std::string target = WineUnixPath(folder);
    wchar_t prefix[MAX_PATH] = {};
    if (target.empty() || !::GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH)) return;
    for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter) {
        const std::wstring root = std::wstring(1, letter) + L":\\";
        if (::GetDriveTypeW(root.c_str()) != DRIVE_NO_ROOT_DIR) continue;
        const std::string link = NarrowUtf8(prefix) + "/dosdevices/" + static_cast<char>(letter - L'A' + 'a') + ":";
        RunUnixCommand(L"/bin/ln -s \"" + WidenUtf8(target) + L"\" \"" + WidenUtf8(link) + L"\"");
        for (int attempt = 0; attempt < 200 && ::GetDriveTypeW(root.c_str()) == DRIVE_NO_ROOT_DIR; ++attempt)
            ::Sleep(25);
        unixLink_ = link;
        if (::GetDriveTypeW(root.c_str()) != DRIVE_NO_ROOT_DIR) root_ = root;
        return;
    }
}

ScratchDrive::~ScratchDrive() {
    if (unixLink_.empty()) return;
    RunUnixCommand(L"/bin/rm -f \"" + WidenUtf8(unixLink_) + L"\"");
    for (int attempt = 0; attempt < 200 && !root_.empty() && ::GetDriveTypeW(root_.c_str()) != DRIVE_NO_ROOT_DIR;
         ++attempt)
        ::Sleep(25);
    // Wine keeps the drives it has seen for up to a second, each known by its root's file ID.
    // A folder made in that time that reuses the freed file ID of the mapped folder (the file
    // system hands it out again at once) would be named as that drive's root ("Q:"), and the
    // guard would rightly take it for a drive root: wait until the drive is forgotten.
    for (int attempt = 0; attempt < 200 && StillNamedThroughDrive(); ++attempt) ::Sleep(25);
}

bool ScratchDrive::StillNamedThroughDrive() const {
    if (root_.empty()) return false;
    UniqueFile folder(::CreateFileW(LongPath(folder_).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    wchar_t name[MAX_PATH + 8] = {};
    if (!folder || !::GetFinalPathNameByHandleW(folder.get(), name, MAX_PATH + 8, FILE_NAME_NORMALIZED))
        return false;
    return std::wstring_view(name).substr(4, 2) == std::wstring_view(root_).substr(0, 2);  // "\\?\Q:"
}

void SwapBeforeOpen::BeforeDescend(const std::wstring& longPath) {
    if (!EndsWith(longPath, L"\\" + victim_)) return;
    const std::wstring path = WithoutLongPrefix(longPath);
    const std::wstring unixPath = WidenUtf8(WineUnixPath(path));
    if (unixPath.empty()) return;
    RunUnixCommand(L"/bin/mv \"" + unixPath + L"\" \"" + unixPath + L"-moved\"");
    for (int attempt = 0; attempt < 200 && PathExists(path); ++attempt) ::Sleep(25);
    ++swaps_;
    if (target_.empty()) {
        MakeFolder(path);
        WriteBytes(path + L"\\planted.txt", "planted");
        return;
    }
    links_.push_back(std::make_unique<ScopedDirectoryLink>(path, target_));
}

void SwapBeforeOpen::RemoveLinks() {
    for (auto& link : links_) {
        const std::wstring path = link->Path();
        link.reset();
        for (int attempt = 0; attempt < 200 && PathExists(path); ++attempt) ::Sleep(25);
    }
    links_.clear();
}

std::vector<std::wstring> ListSubfolders(const std::wstring& folder) {
    std::vector<std::wstring> names;
    const auto gated = GatePath(LongPath(folder));
    if (const auto held = gated ? WalkFolder::OpenTop(*gated) : std::nullopt)
        held->ForEachEntry([&](const ListedEntry& entry) {
            if (entry.IsFolder()) names.emplace_back(entry.name);
        });
    return names;
}

std::wstring ListTree(const std::wstring& folder) {
    std::vector<std::wstring> names;
    CollectTree(folder, L"", names);
    std::sort(names.begin(), names.end());
    std::wstring text;
    for (const auto& name : names) text += name + L"\n";
    return text;
}

}  // namespace qm::test
