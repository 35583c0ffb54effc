#pragma once
// The process's one service record.
//
// Threads and what guards what:
//  - the dispatcher thread runs wWinMain's dispatcher and ServiceControlHandler, which
//    touches only stopRequested (compare-exchange), generation and lastDeviceEvent
//    (atomics), status (under statusLock) and signals the two events;
//  - the ServiceMain thread creates and releases everything here, runs the first pass,
//    starts the worker and then waits on the stop event and the worker's handle, so a
//    worker that ends on its own stops the service;
//  - the worker thread runs every later pass and reads stopEvent, changeEvent, generation
//    and lastDeviceEvent.
//  statusLock (exclusive) guards status from filling until it has been sent. The worker
//  and the notification are released after the worker has ended; the two events live until
//  the process ends, because the control handler may signal them until the dispatcher
//  returns.

#include "UniqueResource.h"

#include <windows.h>
#include <dbt.h>

#include <atomic>

namespace vyx::service {

struct DeviceNotificationTraits {
    static HDEVNOTIFY Invalid() { return nullptr; }
    static void Close(HDEVNOTIFY h) { ::UnregisterDeviceNotification(h); }
};
using UniqueDeviceNotification = win::UniqueResource<HDEVNOTIFY, DeviceNotificationTraits>;

struct ServiceState {
    SERVICE_STATUS_HANDLE statusHandle = nullptr;
    SERVICE_STATUS status = {};
    SRWLOCK statusLock = SRWLOCK_INIT;
    std::atomic<LONG> stopRequested{0};

    win::UniqueHandle stopEvent;    // manual reset: stays signalled once the service must stop
    win::UniqueHandle changeEvent;  // auto reset: every accepted device event, and stop
    std::atomic<LONG> generation{0};
    std::atomic<LONG> lastDeviceEvent{0};
    UniqueDeviceNotification deviceNotification;
    win::UniqueHandle workerThread;
};

ServiceState& GetServiceState();

}  // namespace vyx::service
