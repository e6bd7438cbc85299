#pragma once
// Files opened, renamed and deleted relative to a folder that the caller holds open, by the
// exact name listed there: nothing on the way is resolved again by name, so neither a
// folder swapped for a link nor a name that path parsing would change ("X.", "Y ") can
// redirect the call.
#include <windows.h>
#include <winternl.h>

#include <string_view>

#include "base/handles.h"

namespace qm {

// Opens an entry of a held folder relative to the folder's handle, by the exact name listed
// there (NtCreateFile with the folder as root directory). options are NtCreateFile's (FILE_NON_DIRECTORY_FILE, FILE_OPEN_REPARSE_POINT,
// ...); disposition FILE_OPEN or FILE_CREATE; share as CreateFileW's. An invalid handle and
// the last error (the system's error number) when it cannot be opened. An empty name or one
// holding "\" is refused: the first would open the folder itself, the second reach elsewhere.
inline constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
UniqueFile OpenRelative(HANDLE folder, std::wstring_view name, ACCESS_MASK access, ULONG options,
                        ULONG disposition = FILE_OPEN, ULONG share = kShareAll);
// True when the entry name of the held folder is a link (junction, symbolic link, mount
// point), asked of the name itself and not of what it leads to.
bool IsLinkIn(HANDLE folder, std::wstring_view name);
// Gives an opened file the name newName in the held folder, replacing a file of that name
// when replace is set (NtSetInformationFile with the folder as root directory; the Win32
// call refuses a root directory on some systems). False with the last error set otherwise.
bool RenameRelative(HANDLE file, HANDLE folder, std::wstring_view newName, bool replace);
// Marks an opened file or empty folder for deletion; it goes when its last handle closes.
bool DeleteThroughHandle(HANDLE handle);
// Sets the attributes of an opened file or folder (0 keeps them; use FILE_ATTRIBUTE_NORMAL).
bool SetAttributesThroughHandle(HANDLE handle, DWORD attributes);
// attributes without the read-only bit, in the form the system takes them back.
DWORD WithoutReadOnly(DWORD attributes);

}  // namespace qm
