#pragma once
// Finding every browser's cookie stores and cache folders.
namespace qm {

class AppContext;

// Rebuilds the cookie location list cboLoc (with Combo1..Combo3).
void InitLoc(AppContext& ctx);
// Rebuilds the browser cache list cache.
void CacheInitLoc(AppContext& ctx);

}  // namespace qm
