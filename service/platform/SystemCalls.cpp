#include "System.h"

#include "SystemFacts.h"
#include "ServiceEvents.h"

namespace vyx::service::sys {

SERVICE_STATUS_HANDLE RegisterControlHandler(LPHANDLER_FUNCTION_EX handler, void* context)
{
    return ::RegisterServiceCtrlHandlerExW(kServiceName, handler, context);
}

BOOL SendServiceStatus(SERVICE_STATUS_HANDLE handle, SERVICE_STATUS* status)
{
    return ::SetServiceStatus(handle, status);
}

HDEVNOTIFY RegisterDeviceNotification(SERVICE_STATUS_HANDLE handle, void* filter)
{
    return ::RegisterDeviceNotificationW(handle, filter, DEVICE_NOTIFY_SERVICE_HANDLE);
}

BOOL UnregisterDeviceNotification(HDEVNOTIFY notification)
{
    return ::UnregisterDeviceNotification(notification);
}

DWORD WaitForAny(DWORD count, const HANDLE* handles, DWORD timeoutMs)
{
    return ::WaitForMultipleObjects(count, handles, FALSE, timeoutMs);
}

HANDLE OpenExisting(const wchar_t* path, DWORD access, DWORD sharing, DWORD flags)
{
    return ::CreateFileW(path, access, sharing, nullptr, OPEN_EXISTING, flags, nullptr);
}

HDEVINFO OpenPresentUsbDevices()
{
    return ::SetupDiGetClassDevsW(nullptr, L"USB", nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
}

bool Regsvr32Path(FilterArch arch, std::wstring& path)
{
    return GetRegsvr32Path(arch, path);
}

BOOL WINAPI AssignToJob(HANDLE job, HANDLE process)
{
    return ::AssignProcessToJobObject(job, process);
}

}  // namespace vyx::service::sys
