#include "TestSystem.h"

#include "SystemFacts.h"
#include "ServiceEvents.h"

namespace vyx::service::sys {

namespace {

TestHooks g_hooks;

}  // namespace

ScopedTestHooks::ScopedTestHooks() : m_saved(g_hooks) {}
ScopedTestHooks::~ScopedTestHooks() { g_hooks = m_saved; }
TestHooks* ScopedTestHooks::operator->() { return &g_hooks; }

SERVICE_STATUS_HANDLE RegisterControlHandler(LPHANDLER_FUNCTION_EX handler, void* context)
{
    return g_hooks.registerControlHandler ? g_hooks.registerControlHandler(handler, context)
                                          : ::RegisterServiceCtrlHandlerExW(kServiceName, handler, context);
}

BOOL SendServiceStatus(SERVICE_STATUS_HANDLE handle, SERVICE_STATUS* status)
{
    return g_hooks.sendServiceStatus ? g_hooks.sendServiceStatus(handle, status) : ::SetServiceStatus(handle, status);
}

HDEVNOTIFY RegisterDeviceNotification(SERVICE_STATUS_HANDLE handle, void* filter)
{
    return g_hooks.registerDeviceNotification
               ? g_hooks.registerDeviceNotification(handle)
               : ::RegisterDeviceNotificationW(handle, filter, DEVICE_NOTIFY_SERVICE_HANDLE);
}

BOOL UnregisterDeviceNotification(HDEVNOTIFY notification)
{
    return g_hooks.unregisterDeviceNotification ? g_hooks.unregisterDeviceNotification(notification)
                                                : ::UnregisterDeviceNotification(notification);
}

DWORD WaitForAny(DWORD count, const HANDLE* handles, DWORD timeoutMs)
{
    return g_hooks.waitForAny ? g_hooks.waitForAny(count, handles, timeoutMs)
                              : ::WaitForMultipleObjects(count, handles, FALSE, timeoutMs);
}

HANDLE OpenExisting(const wchar_t* path, DWORD access, DWORD sharing, DWORD flags)
{
    return g_hooks.openExisting ? g_hooks.openExisting(path, access, sharing, flags)
                                : ::CreateFileW(path, access, sharing, nullptr, OPEN_EXISTING, flags, nullptr);
}

HDEVINFO OpenPresentUsbDevices()
{
    return g_hooks.openPresentUsbDevices
               ? g_hooks.openPresentUsbDevices()
               : ::SetupDiGetClassDevsW(nullptr, L"USB", nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
}

bool Regsvr32Path(FilterArch arch, std::wstring& path)
{
    if (!g_hooks.regsvr32.empty()) {
        path = g_hooks.regsvr32;
        return true;
    }
    return GetRegsvr32Path(arch, path);
}

BOOL WINAPI AssignToJob(HANDLE job, HANDLE process)
{
    return g_hooks.assignToJob ? g_hooks.assignToJob(job, process) : ::AssignProcessToJobObject(job, process);
}

}  // namespace vyx::service::sys
