#pragma once
// The system calls of the service that its tests must answer as Windows does where Wine
// cannot (a refused open, a failing wait, a job that cannot nest, an empty device list), or
// point elsewhere (a stand-in regsvr32, a status record with no service manager behind it).
// The service's code makes these calls here and nowhere else. The shipped executable links
// SystemCalls.cpp, which hands each straight to the system; the test build of the service
// and the test programs link TestSystem.cpp instead, whose answers a test may replace
// (TestSystem.h). So the binary that runs as LocalSystem carries no hook at all.
// Threads: whatever thread makes the underlying call.

#include "FilterArch.h"

#include <windows.h>
#include <setupapi.h>

#include <string>

namespace vyx::service::sys {

SERVICE_STATUS_HANDLE RegisterControlHandler(LPHANDLER_FUNCTION_EX handler, void* context);
BOOL SendServiceStatus(SERVICE_STATUS_HANDLE handle, SERVICE_STATUS* status);
HDEVNOTIFY RegisterDeviceNotification(SERVICE_STATUS_HANDLE handle, void* filter);
BOOL UnregisterDeviceNotification(HDEVNOTIFY notification);

// WaitForMultipleObjects for any one of the handles.
DWORD WaitForAny(DWORD count, const HANDLE* handles, DWORD timeoutMs);

// CreateFileW for an existing file or folder, without security attributes or template.
HANDLE OpenExisting(const wchar_t* path, DWORD access, DWORD sharing, DWORD flags);

// The present devices of the USB enumerator, of every setup class.
HDEVINFO OpenPresentUsbDevices();

// The regsvr32 program to run for a library of the architecture (GetRegsvr32Path).
bool Regsvr32Path(FilterArch arch, std::wstring& path);

// AssignProcessToJobObject, for the child processes the service starts.
BOOL WINAPI AssignToJob(HANDLE job, HANDLE process);

}  // namespace vyx::service::sys
