#pragma once
// Internet Explorer cookie files: listing a folder's cookie files into lstCookie,
// loading one file into the shared cookie text and decoding its records.
#include <windows.h>

#include <cstdint>
#include <string>

namespace qm {

class AppContext;

// Lists the folder's cookie files by bare name; the count, or -1 for a blank folder.
int MSIEScan(AppContext& ctx, const std::wstring& folder);
// Lists the folder's cookie files as cookie lines; 1 when anything was listed, else -1.
int MSIEScan2(AppContext& ctx, const std::wstring& folder);
// Load folder + fileName into the cookie text and compute the record starts; false when
// the file could not be read or holds no records.
bool MsieClick2(AppContext& ctx, const std::wstring& folder, const std::wstring& fileName);
bool frmMainMsieClick(AppContext& ctx, const std::wstring& folder, const std::wstring& fileName);

}  // namespace qm
