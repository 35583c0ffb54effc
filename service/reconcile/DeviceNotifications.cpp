#include "DeviceEventCheck.h"
#include "Reconcile.h"
#include "ServiceState.h"

#include <initguid.h>
#include <usbiodef.h>

namespace vyx::service {

bool RegisterDeviceNotifications(SERVICE_STATUS_HANDLE statusHandle)
{
    // No vendor in the filter: every USB device that comes or goes produces an event, and
    // the next pass finds out what is connected.
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_reserved = 0;
    filter.dbcc_classguid = GUID_DEVINTERFACE_USB_DEVICE;
    HDEVNOTIFY notification = ::RegisterDeviceNotificationW(statusHandle, &filter, DEVICE_NOTIFY_SERVICE_HANDLE);
    if (notification == nullptr) {
        return false;
    }
    GetServiceState().deviceNotification.Reset(notification);
    return true;
}

DWORD HandleDeviceEvent(DWORD eventType, void* eventData)
{
    const DeviceEventVerdict verdict = JudgeDeviceEvent(eventType, eventData);
    if (verdict.counted) {
        ServiceState& state = GetServiceState();
        state.lastDeviceEvent.exchange(static_cast<LONG>(eventType));
        state.generation.fetch_add(1);
        ::SetEvent(state.changeEvent.Get());
    }
    return verdict.result;
}

}  // namespace vyx::service
