#include "ConnectedCameras.h"

#include "ServiceEvents.h"
#include "System.h"
#include "UniqueResource.h"

#include <vector>

namespace vyx::service {

bool EnumerateConnectedCameras(ConnectedCounts& counts)
{
    counts.fill(0);

    win::UniqueDevInfo devices(sys::OpenPresentUsbDevices());
    if (!devices) {
        const DWORD error = ::GetLastError();
        // Windows answers so for an enumerator that has no device at all.
        if (error == ERROR_INVALID_DATA) {
            return true;
        }
        LogApiFailure(L"SetupDiGetClassDevsW", error, kEventApiFailure);
        return false;
    }

    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device = {};
        device.cbSize = sizeof(device);
        if (!::SetupDiEnumDeviceInfo(devices.Get(), index, &device)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_NO_MORE_ITEMS) {
                LogApiFailure(L"SetupDiEnumDeviceInfo", error, kEventApiFailure);
                return false;
            }
            return true;
        }

        DWORD required = 0;
        ::SetupDiGetDeviceInstanceIdW(devices.Get(), &device, nullptr, 0, &required);
        if (required == 0) {
            continue;
        }
        std::vector<wchar_t> instanceId(required + 1, L'\0');
        if (!::SetupDiGetDeviceInstanceIdW(devices.Get(), &device, instanceId.data(), required, nullptr)) {
            continue;
        }
        if (!IsVendorDeviceInstanceId(instanceId.data())) {
            continue;
        }
        const int row = FindCameraModelIndex(instanceId.data());
        if (row < 0) {
            WriteServiceEvent(EVENTLOG_WARNING_TYPE, kEventUnknownCamera, L"Unknown Vyxon camera ignored. deviceId=%ls",
                              instanceId.data());
            continue;
        }
        ++counts[static_cast<std::size_t>(row)];
    }
}

}  // namespace vyx::service
