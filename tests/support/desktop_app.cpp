#include "support/desktop_app.h"

#include "ui/main_form.h"
#include "ui/main_window.h"

namespace qm::test {

DesktopApp::DesktopApp(const wchar_t* tempName) : temp(tempName), tempVariable(L"Temp", temp.Path()) {
    host.Attach(ctx);
    BindMainForm(ctx);
}

DesktopApp::~DesktopApp() {
    host.UnloadMainForm();
    PumpMessages(50);
}

}  // namespace qm::test
