#pragma once
// The reconcile pass: counts the connected devices of every model, compares each model's
// registrations with what the connections call for, runs the registration actions that
// close the gap, and writes a line for every model that is still not as wanted and a
// summary.
//
// Threads: one pass at a time, all on the worker thread.
// The stop event (ServiceSignals) ends a pass between actions and cuts a running action
// short.

#include "ServiceSignals.h"

namespace vyx::service {

class ReconcilePass {
public:
    explicit ReconcilePass(const ServiceSignals& signals);

    // True when every model ended as wanted. False also when the devices could not be
    // counted or a stop ended the pass (no summary then).
    bool Run();

private:
    const ServiceSignals& m_signals;
    const bool m_native64;
};

}  // namespace vyx::service
