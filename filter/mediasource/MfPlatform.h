#pragma once
// Media Foundation's platform library (mfplat.dll), bound when the media source first needs
// it rather than imported: every filter build carries the media source, and a build that
// imported mfplat.dll would fail to load, DirectShow filter and all, on Windows editions
// without it (the N editions before their Media Feature Pack).
//
// Threads: any; the binding is made once.
#include <windows.h>
#include <mfidl.h>
#include <evr.h>  // IMFTrackedSample

namespace vyx::mf::platform {

// S_OK when every function below is there; HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) or
// HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) otherwise, and each function then fails with it.
HRESULT Bind();

HRESULT Startup();
void Shutdown();
HRESULT CreateEventQueue(IMFMediaEventQueue** queue);
HRESULT CreateAttributes(IMFAttributes** attributes, UINT32 initialSize);
HRESULT CreateMediaType(IMFMediaType** type);
HRESULT CreateStreamDescriptor(DWORD id, DWORD typeCount, IMFMediaType** types, IMFStreamDescriptor** descriptor);
HRESULT CreatePresentationDescriptor(DWORD count, IMFStreamDescriptor** streams,
                                     IMFPresentationDescriptor** descriptor);
HRESULT CreateMemoryBuffer(DWORD maxLength, IMFMediaBuffer** buffer);
HRESULT CreateTrackedSample(IMFTrackedSample** sample);
// 100 ns units; 0 when unbound.
LONGLONG SystemTime();

}  // namespace vyx::mf::platform
