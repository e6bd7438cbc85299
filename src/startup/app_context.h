#pragma once
// The process-wide state, owned in one place and passed to whoever needs it, so that
// each test starts from a fresh one.
#include <cstdint>
#include <memory>

#include "base/dialogs.h"
#include "base/os_version.h"
#include "base/pump.h"
#include "clean/held_delete.h"
#include "clean/progress_tick.h"
#include "clean/restart_state.h"
#include "clean/run_state.h"
#include "clean/search_spec.h"
#include "clean/timed_box_state.h"
#include "cookies/cookie_state.h"
#include "online/update_state.h"
#include "startup/ui_host.h"
#include "ui/main_form_model.h"
#include "ui/window.h"

namespace qm {

class Web;
class ShutdownCalls;
class CleanReport;

struct ProcessFlags {
    bool webCancel = false;
    bool updateAtStart = false;
    bool manualUpdateCheck = false;
    bool cookieTabReady = false;
    bool returnToMain = false;
};

class AppContext {
public:
    AppContext(Dialogs& shownDialogs, const OsVersionSource& os, Pump& pump, UiHost& ui)
        : dialogs(shownDialogs), os(os), pump(pump), ui(ui) {}
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    // Seams. Every box goes through the gate, which answers them itself in an unattended run.
    DialogGate dialogs;
    const OsVersionSource& os;
    Pump& pump;
    UiHost& ui;
    // The web seam; without one the program is off line. Shared: an update check waiting
    // on the network in the background holds it too, and may outlive the context.
    std::shared_ptr<Web> web;
    // The system calls that turn the computer off; without them nothing is turned off.
    ShutdownCalls* shutdown = nullptr;

    // Run state of the cleaning engine.
    std::int32_t CleanCount = 0;
    CleanProgress progress;
    bool HotKeyCleaning = false;
    SearchSpecRecord SearchSpec;
    RestartRunState restart;
    // Where every clean's removals go (a preview records instead) and who hears of them.
    DeleteSeams deletes;

    // One piece of work at a time (cleans, timed boxes, the result window's return).
    RunState run;
    // Where the cleans record what they remove, keep, refuse and schedule, item by item; none
    // outside the console program. With a preview's report nothing is deleted.
    CleanReport* report = nullptr;

    // Last tray-icon click: scaled as the menu position, and in screen pixels.
    int MenuPosX = 0;
    int MenuPosY = 0;
    POINT trayClick{};

    ProcessFlags flags;
    UpdateState update;

    // Set by the automatic mode only: nobody is at the keyboard, so no box may wait for an
    // answer (the hot-key clean has a user and stays attended).
    void SetUnattended(bool unattended) { dialogs.SetUnattended(unattended); }
    bool Unattended() const { return dialogs.Unattended(); }
    TimedBoxState timedBox;
    CookieState cookies;

    // Form models.
    MainFormModel frmMain;
    CountFormModel frmCount;

    // Windows opened on demand, one of each at a time; empty (or closed) until opened.
    std::unique_ptr<Window> frmHelp;
    std::unique_ptr<Window> frmAbout;
    std::unique_ptr<Window> frmHotKeySet2;
    std::unique_ptr<Window> frmUpdate;
    std::unique_ptr<Window> frmLastClean;
};

}  // namespace qm
