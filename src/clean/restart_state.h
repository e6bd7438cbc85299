#pragma once
// What the restart-time scheduling of the current run did, for the result window's reboot
// reminder and for telling the user when scheduling failed.
namespace qm {

struct RestartRunState {
    // Something of this run waits for the next restart (scheduled now, or already pending).
    bool restartPending = false;
    // Operations the system refused since the user was last told.
    int unscheduled = 0;
};

}  // namespace qm
