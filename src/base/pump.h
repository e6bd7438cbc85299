#pragma once
// The seam for waiting and for letting pending window messages run. Long work runs
// on the one user-interface thread and lets the windows repaint at fixed points.
#include <windows.h>

namespace qm {

class Pump {
public:
    virtual ~Pump() = default;
    virtual void Sleep(DWORD milliseconds) = 0;
    // Runs every window message that is waiting, then returns.
    virtual void DoEvents() = 0;
};

class SystemPump final : public Pump {
public:
    void Sleep(DWORD milliseconds) override { ::Sleep(milliseconds); }
    void DoEvents() override;
};

}  // namespace qm
