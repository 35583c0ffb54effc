#pragma once
// What the control handler makes of a device event: which events count as a change, and
// which data is refused. Only the header is read; the device's name is never looked at.
// Pure: any thread.

#include <windows.h>

namespace vyx::service {

struct DeviceEventVerdict {
    DWORD result;  // the handler's answer to the dispatcher
    bool counted;  // an arrival or removal that starts a pass
};

// Arrivals and removal completions with a device-interface header of at least the
// header's size count; no data: ERROR_INVALID_PARAMETER; a short header or another device
// type: ERROR_INVALID_DATA; every other event type: NO_ERROR, not counted.
DeviceEventVerdict JudgeDeviceEvent(DWORD eventType, const void* eventData);

}  // namespace vyx::service
