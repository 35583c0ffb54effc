#pragma once
// The reconcile pass: counts the connected devices of every model, compares each model's
// registrations with what the connections call for, runs the registration actions that
// close the gap, and writes a line for every model that is still not as wanted and a
// summary; then each model's Windows 11 virtual camera follows its x64 registration. Its
// cost follows what changed: the registrations are read again only when the
// registry may have changed since the last pass, and after acting only where it acted.
//
// Threads: one pass at a time, all on the worker thread (the registry watch is armed there).
// The stop event (ServiceSignals) ends a pass between actions and cuts a running action
// short.

#include "RegistrationCache.h"
#include "RegistryWatch.h"
#include "ServiceSignals.h"
#include "VirtualCameras.h"

namespace vyx::service {

class ReconcilePass {
public:
    explicit ReconcilePass(const ServiceSignals& signals);

    // True when every model ended as wanted. False also when the devices could not be
    // counted or a stop ended the pass (no summary then).
    bool Run();

private:
    // Reads every registration again when the registry may have changed, arming the watch
    // first so that no change made during the read goes unseen.
    void Refresh();

    const ServiceSignals& m_signals;
    const bool m_native64;
    RegistrationCache m_cache;
    RegistryWatch m_watch;
    VirtualCameras m_cameras;
    bool m_watchFailureLogged = false;
};

}  // namespace vyx::service
