#pragma once
// One registration action: regsvr32 on a model's library for one architecture, verified in
// the registry, retried, and for an unregistration the direct deletion of the keys when
// regsvr32 cannot do it.
//
// Threads: one action at a time, on the thread of the reconcile pass or of the uninstall
// command. The stop event is the only link to other threads: it cuts a running regsvr32
// and the waits between attempts short.

#include "CameraModel.h"
#include "FilterArch.h"

#include <windows.h>

namespace vyx::service {

inline constexpr int kMaxAttempts = 3;

// True when the wanted state was reached and verified in the registry.
bool RunRegistrationAction(const CameraModel& model, FilterArch arch, bool registerFilter, HANDLE stopEvent);

}  // namespace vyx::service
