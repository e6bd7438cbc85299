// Kinds of clean whose engines are not built yet: the browser caches, the cookie stores,
// the restart-time scheduling of locked index files and the hot-key clean. The commands, start-up and the
// tray already call them here, so adding each engine changes no caller.
#include "clean/clean_kinds.h"

#include "startup/app_context.h"

namespace qm {

void AutoCleanInternetFiles2(AppContext&, bool&) {}
void MainCleanInternetFiles(AppContext&, const std::wstring&) {}
void MainCleanCookies(AppContext&, const std::wstring&) {}
void AddCleanDat(AppContext&) {}
void WithdrawCleanDat(AppContext&) {}
void HotKeyClean(AppContext& ctx) { ctx.HotKeyCleaning = false; }

}  // namespace qm
