// Kinds of clean whose engines are not built yet: the cookie stores. The commands, start-up and the tray already call them here, so
// adding each engine changes no caller.
#include "clean/clean_kinds.h"

#include "startup/app_context.h"

namespace qm {

void MainCleanCookies(AppContext&, const std::wstring&) {}

}  // namespace qm
