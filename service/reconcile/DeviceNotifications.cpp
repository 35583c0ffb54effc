#include "DeviceNotifications.h"

#include <dbt.h>
#include <initguid.h>
#include <usbiodef.h>

namespace vyx::service {

UniqueDeviceNotification RegisterDeviceNotifications(SERVICE_STATUS_HANDLE statusHandle)
{
    // No vendor in the filter: every USB device that comes or goes produces an event, and
    // the next pass finds out what is connected.
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_reserved = 0;
    filter.dbcc_classguid = GUID_DEVINTERFACE_USB_DEVICE;
    return UniqueDeviceNotification(sys::RegisterDeviceNotification(statusHandle, &filter));
}

}  // namespace vyx::service
