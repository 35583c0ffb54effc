#include "RegistryWatch.h"

#include "FilterArch.h"

namespace vyx::service {

namespace {

constexpr wchar_t kClassesClsid[] = L"SOFTWARE\\Classes\\CLSID";

}  // namespace

RegistryWatch::RegistryWatch(bool native64BitWindows) : m_viewCount(native64BitWindows ? 2 : 1)
{
    m_views[0].viewFlag = ArchViewFlag(FilterArch::X86);
    m_views[1].viewFlag = ArchViewFlag(FilterArch::X64);
}

DWORD RegistryWatch::Arm()
{
    DWORD firstError = ERROR_SUCCESS;
    for (DWORD i = 0; i < m_viewCount; ++i) {
        const DWORD error = ArmView(m_views[i]);
        if (firstError == ERROR_SUCCESS) {
            firstError = error;
        }
    }
    return firstError;
}

DWORD RegistryWatch::ArmView(View& view)
{
    // A watch still pending keeps watching; arming it again would only pile up requests.
    if (view.armed && ::WaitForSingleObject(view.fired.Get(), 0) == WAIT_TIMEOUT) {
        return ERROR_SUCCESS;
    }
    view.armed = false;
    if (!view.fired) {
        view.fired.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!view.fired) {
            return ::GetLastError();
        }
    }
    if (!view.key) {
        const LSTATUS error =
            ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClassesClsid, 0, KEY_NOTIFY | view.viewFlag, view.key.Put());
        if (error != ERROR_SUCCESS) {
            return static_cast<DWORD>(error);
        }
    }
    ::ResetEvent(view.fired.Get());
    const LSTATUS error = ::RegNotifyChangeKeyValue(
        view.key.Get(), TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, view.fired.Get(), TRUE);
    if (error != ERROR_SUCCESS) {
        return static_cast<DWORD>(error);
    }
    view.armed = true;
    return ERROR_SUCCESS;
}

bool RegistryWatch::Changed() const
{
    HANDLE fired[2] = {};
    for (DWORD i = 0; i < m_viewCount; ++i) {
        if (!m_views[i].armed) {
            return true;
        }
        fired[i] = m_views[i].fired.Get();
    }
    // A failed wait counts as a change: a needless read is the safe side.
    return ::WaitForMultipleObjects(m_viewCount, fired, FALSE, 0) != WAIT_TIMEOUT;
}

}  // namespace vyx::service
