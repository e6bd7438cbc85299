#include "base/relative_files.h"

#include <algorithm>
#include <vector>

// Not declared by every SDK's winternl.h; FILE_BASIC_INFORMATION has FILE_BASIC_INFO's layout.
extern "C" NTSTATUS NTAPI NtQueryAttributesFile(const OBJECT_ATTRIBUTES* attributes, FILE_BASIC_INFO* information);

namespace qm {

namespace {

// FileRenameInformation of NtSetInformationFile, with room for the name after it.
struct RenameInformation {
    BOOLEAN ReplaceIfExists;
    HANDLE RootDirectory;
    ULONG FileNameLength;
    WCHAR FileName[1];
};
constexpr auto kFileRenameInformation = static_cast<FILE_INFORMATION_CLASS>(10);

DWORD ErrorOf(NTSTATUS status) { return ::RtlNtStatusToDosError(status); }

// One name of a held folder as the system's calls take it. An empty name would be the
// folder itself and one holding "\\" would reach elsewhere: neither is a listed name.
class RelativeName {
public:
    RelativeName(HANDLE folder, std::wstring_view name) : valid_(IsListedName(name)) {
        unicode_.Buffer = const_cast<PWSTR>(name.data());
        unicode_.Length = unicode_.MaximumLength = static_cast<USHORT>(valid_ ? name.size() * sizeof(wchar_t) : 0);
        InitializeObjectAttributes(&attributes_, &unicode_, OBJ_CASE_INSENSITIVE, folder, nullptr);
    }
    RelativeName(const RelativeName&) = delete;
    RelativeName& operator=(const RelativeName&) = delete;
    bool Valid() const { return valid_; }
    OBJECT_ATTRIBUTES* Attributes() { return &attributes_; }

private:
    static bool IsListedName(std::wstring_view name) {
        return !name.empty() && name.size() <= 0x7FFF && name.find(L'\\') == std::wstring_view::npos;
    }
    bool valid_;
    UNICODE_STRING unicode_{};
    OBJECT_ATTRIBUTES attributes_{};
};

}  // namespace

DWORD WithoutReadOnly(DWORD attributes) {
    const DWORD settable = attributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
    return settable != 0 ? settable : FILE_ATTRIBUTE_NORMAL;
}

UniqueFile OpenRelative(HANDLE folder, std::wstring_view name, ACCESS_MASK access, ULONG options,
                        ULONG disposition, ULONG share) {
    RelativeName relative(folder, name);
    if (!relative.Valid()) {
        ::SetLastError(ERROR_INVALID_NAME);
        return UniqueFile();
    }
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    const NTSTATUS status = ::NtCreateFile(&handle, access | SYNCHRONIZE, relative.Attributes(), &io, nullptr,
                                           FILE_ATTRIBUTE_NORMAL, share, disposition,
                                           options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (status < 0) {
        ::SetLastError(ErrorOf(status));
        return UniqueFile();
    }
    return UniqueFile(handle);
}

bool IsLinkIn(HANDLE folder, std::wstring_view name) {
    RelativeName relative(folder, name);
    FILE_BASIC_INFO basic{};
    return relative.Valid() && ::NtQueryAttributesFile(relative.Attributes(), &basic) >= 0 &&
           (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool RenameRelative(HANDLE file, HANDLE folder, std::wstring_view newName, bool replace) {
    std::vector<unsigned char> buffer(sizeof(RenameInformation) + newName.size() * sizeof(wchar_t));
    auto& rename = *reinterpret_cast<RenameInformation*>(buffer.data());
    rename.ReplaceIfExists = replace ? TRUE : FALSE;
    rename.RootDirectory = folder;
    rename.FileNameLength = static_cast<ULONG>(newName.size() * sizeof(wchar_t));
    std::copy(newName.begin(), newName.end(), rename.FileName);
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = ::NtSetInformationFile(file, &io, &rename, static_cast<ULONG>(buffer.size()),
                                                   kFileRenameInformation);
    if (status < 0) ::SetLastError(ErrorOf(status));
    return status >= 0;
}

bool DeleteThroughHandle(HANDLE handle) {
    FILE_DISPOSITION_INFO dispose{TRUE};
    return ::SetFileInformationByHandle(handle, FileDispositionInfo, &dispose, sizeof(dispose)) != FALSE;
}

bool SetAttributesThroughHandle(HANDLE handle, DWORD attributes) {
    FILE_BASIC_INFO basic{};  // zero times are left as they are
    basic.FileAttributes = attributes;
    return ::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof(basic)) != FALSE;
}

}  // namespace qm
