#include "base/relative_files.h"

#include <algorithm>
#include <vector>

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

}  // namespace

DWORD WithoutReadOnly(DWORD attributes) {
    const DWORD settable = attributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
    return settable != 0 ? settable : FILE_ATTRIBUTE_NORMAL;
}

UniqueFile OpenRelative(HANDLE folder, std::wstring_view name, ACCESS_MASK access, ULONG options,
                        ULONG disposition, ULONG share) {
    if (name.empty() || name.size() > 0x7FFF || name.find(L'\\') != std::wstring_view::npos) {
        ::SetLastError(ERROR_INVALID_NAME);
        return UniqueFile();
    }
    UNICODE_STRING unicodeName;
    unicodeName.Buffer = const_cast<PWSTR>(name.data());
    unicodeName.Length = unicodeName.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &unicodeName, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    const NTSTATUS status =
        ::NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                       share, disposition,
                       options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (status < 0) {
        ::SetLastError(ErrorOf(status));
        return UniqueFile();
    }
    return UniqueFile(handle);
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
