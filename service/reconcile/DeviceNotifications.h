#pragma once
// The service's registration for USB device-interface arrivals and removals, which reach
// its control handler as device events.

#include "System.h"
#include "UniqueResource.h"

#include <windows.h>

namespace vyx::service {

struct DeviceNotificationTraits {
    static HDEVNOTIFY Invalid() { return nullptr; }
    static void Close(HDEVNOTIFY h) { sys::UnregisterDeviceNotification(h); }
};
using UniqueDeviceNotification = win::UniqueResource<HDEVNOTIFY, DeviceNotificationTraits>;

// Empty, with the last error set, when the registration failed.
UniqueDeviceNotification RegisterDeviceNotifications(SERVICE_STATUS_HANDLE statusHandle);

}  // namespace vyx::service
