#include "MfPlatform.h"

#include <mfapi.h>

#include <mutex>

namespace vyx::mf::platform {
namespace {

struct Functions {
    HRESULT bound = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    decltype(&::MFStartup) startup = nullptr;
    decltype(&::MFShutdown) shutdown = nullptr;
    decltype(&::MFCreateEventQueue) createEventQueue = nullptr;
    decltype(&::MFCreateAttributes) createAttributes = nullptr;
    decltype(&::MFCreateMediaType) createMediaType = nullptr;
    decltype(&::MFCreateStreamDescriptor) createStreamDescriptor = nullptr;
    decltype(&::MFCreatePresentationDescriptor) createPresentationDescriptor = nullptr;
    decltype(&::MFCreateMemoryBuffer) createMemoryBuffer = nullptr;
    HRESULT(WINAPI* createTrackedSample)(IMFTrackedSample**) = nullptr;  // not in the SDK's headers here
    decltype(&::MFGetSystemTime) systemTime = nullptr;
};

template <class Function>
bool Resolve(HMODULE module, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return *function != nullptr;
}

// Kept loaded for the process's life: samples and queues made through it may outlive any object of ours.
const Functions& Bound() {
    static Functions functions;
    static std::once_flag once;
    std::call_once(once, [] {
        const HMODULE module = LoadLibraryExW(L"mfplat.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!module) return;
        Functions& f = functions;
        const bool all = Resolve(module, "MFStartup", &f.startup) && Resolve(module, "MFShutdown", &f.shutdown) &&
                         Resolve(module, "MFCreateEventQueue", &f.createEventQueue) &&
                         Resolve(module, "MFCreateAttributes", &f.createAttributes) &&
                         Resolve(module, "MFCreateMediaType", &f.createMediaType) &&
                         Resolve(module, "MFCreateStreamDescriptor", &f.createStreamDescriptor) &&
                         Resolve(module, "MFCreatePresentationDescriptor", &f.createPresentationDescriptor) &&
                         Resolve(module, "MFCreateMemoryBuffer", &f.createMemoryBuffer) &&
                         Resolve(module, "MFCreateTrackedSample", &f.createTrackedSample) &&
                         Resolve(module, "MFGetSystemTime", &f.systemTime);
        f.bound = all ? S_OK : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    });
    return functions;
}

}  // namespace

HRESULT Bind() { return Bound().bound; }

HRESULT Startup() {
    const Functions& f = Bound();
    return FAILED(f.bound) ? f.bound : f.startup(MF_VERSION, MFSTARTUP_NOSOCKET);
}

void Shutdown() {
    const Functions& f = Bound();
    if (SUCCEEDED(f.bound)) f.shutdown();
}

HRESULT CreateEventQueue(IMFMediaEventQueue** queue) {
    const Functions& f = Bound();
    return FAILED(f.bound) ? f.bound : f.createEventQueue(queue);
}

HRESULT CreateAttributes(IMFAttributes** attributes, UINT32 initialSize) {
    const Functions& f = Bound();
    return FAILED(f.bound) ? f.bound : f.createAttributes(attributes, initialSize);
}

HRESULT CreateMediaType(IMFMediaType** type) {
    const Functions& f = Bound();
    return FAILED(f.bound) ? f.bound : f.createMediaType(type);
}

HRESULT CreateStreamDescriptor(DWORD id, DWORD typeCount, IMFMediaType** types, IMFStreamDescriptor** descriptor) {
    const Functions& f = Bound();
    return FAILED(f.bound) ? f.bound : f.createStreamDescriptor(id, typeCount, types, descriptor);
}

HRESULT CreatePresentationDescriptor(DWORD count, IMFStreamDescriptor** streams,
                                     IMFPresentationDescriptor** descriptor) {
    const Functions& f = Bound();
    return FAILED(f.bound) ? f.bound : f.createPresentationDescriptor(count, streams, descriptor);
}

HRESULT CreateMemoryBuffer(DWORD maxLength, IMFMediaBuffer** buffer) {
    const Functions& f = Bound();
    return FAILED(f.bound) ? f.bound : f.createMemoryBuffer(maxLength, buffer);
}

HRESULT CreateTrackedSample(IMFTrackedSample** sample) {
    const Functions& f = Bound();
    return FAILED(f.bound) ? f.bound : f.createTrackedSample(sample);
}

LONGLONG SystemTime() {
    const Functions& f = Bound();
    return FAILED(f.bound) ? 0 : f.systemTime();
}

}  // namespace vyx::mf::platform
