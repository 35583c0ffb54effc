#include "DeviceEventCheck.h"

#include <dbt.h>

#include <cstring>

namespace vyx::service {

DeviceEventVerdict JudgeDeviceEvent(DWORD eventType, const void* eventData)
{
    if (eventType != DBT_DEVICEARRIVAL && eventType != DBT_DEVICEREMOVECOMPLETE) {
        return {NO_ERROR, false};
    }
    if (eventData == nullptr) {
        return {ERROR_INVALID_PARAMETER, false};
    }
    // Copied out, so data without the header's alignment is read safely.
    DEV_BROADCAST_HDR header;
    std::memcpy(&header, eventData, sizeof(header));
    if (header.dbch_size < sizeof(DEV_BROADCAST_HDR) || header.dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) {
        return {ERROR_INVALID_DATA, false};
    }
    return {NO_ERROR, true};
}

}  // namespace vyx::service
