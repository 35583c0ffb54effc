#pragma once
// What the service's virtual-camera helper needs of mfvirtualcamera.h (Windows build 22000
// and later), which MinGW's headers lack: the three enumerations, IMFVirtualCamera in its
// published method order, and the type of MFCreateVirtualCamera, which mfsensorgroup.dll
// exports only on Windows 11 and is therefore looked up at run time.

#include <windows.h>
#include <mfidl.h>
#include <mfobjects.h>

namespace vyx::vcam {

enum MFVirtualCameraType { MFVirtualCameraType_SoftwareCameraSource = 0 };
enum MFVirtualCameraLifetime { MFVirtualCameraLifetime_Session = 0, MFVirtualCameraLifetime_System = 1 };
enum MFVirtualCameraAccess { MFVirtualCameraAccess_CurrentUser = 0, MFVirtualCameraAccess_AllUsers = 1 };

// Only Start and Remove are called; the rest are declared to keep the table's order.
struct IMFCameraSyncObject;
// {1C08A864-EF6C-4C75-AF59-5F2D68DA9563}
inline constexpr GUID IID_IMFVirtualCamera = {0x1C08A864, 0xEF6C, 0x4C75, {0xAF, 0x59, 0x5F, 0x2D, 0x68, 0xDA, 0x95, 0x63}};

struct IMFVirtualCamera : public IMFAttributes {
    virtual HRESULT STDMETHODCALLTYPE AddDeviceSourceInfo(LPCWSTR deviceSourceInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddProperty(const void* key, ULONG type, const BYTE* data, ULONG size) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddRegistryEntry(LPCWSTR entryName, LPCWSTR subkeyPath, DWORD regType,
                                                       const BYTE* data, ULONG size) = 0;
    virtual HRESULT STDMETHODCALLTYPE Start(IMFAsyncCallback* callback) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE Remove() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMediaSource(IMFMediaSource** source) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendCameraProperty(REFGUID propertySet, ULONG propertyId, ULONG propertyFlags,
                                                         void* payload, ULONG payloadLength, void* data,
                                                         ULONG dataLength, ULONG* dataWritten) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSyncEvent(REFGUID eventSet, ULONG eventId, ULONG eventFlags,
                                                      HANDLE eventHandle, IMFCameraSyncObject** syncObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSyncSemaphore(REFGUID eventSet, ULONG eventId, ULONG eventFlags,
                                                          HANDLE semaphore, LONG adjustment,
                                                          IMFCameraSyncObject** syncObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE Shutdown() = 0;
};

using CreateVirtualCameraFn = HRESULT(STDAPICALLTYPE*)(MFVirtualCameraType type, MFVirtualCameraLifetime lifetime,
                                                       MFVirtualCameraAccess access, LPCWSTR friendlyName,
                                                       LPCWSTR sourceId, const GUID* categories, ULONG categoryCount,
                                                       IMFVirtualCamera** camera);

}  // namespace vyx::vcam
