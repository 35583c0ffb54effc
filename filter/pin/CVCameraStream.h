#pragma once
// The filter's single output pin "Video". It owns the camera connection (the camera
// library object from CreateCamera to Destory), offers the camera's formats, configures
// the camera for the negotiated type and lets the camera library write each frame
// straight into the outgoing sample.
//
// Threads and locks:
// - Application threads call the COM interfaces. GetMediaType, SetMediaType and
//   DecideBufferSize run under the filter's state lock (taken here for the first two,
//   by the framework's connection for the last). CheckMediaType and IAMStreamConfig's
//   getters take no lock. The decisions are m_negotiation's.
// - m_session owns the stream's life: the filter's state changes activate and deactivate
//   it, and every change of the camera's configuration or of the camera itself
//   (ICameraInstance's setters, SetFormat) runs through its Configure, so it is refused
//   with VFW_E_NOT_STOPPED from the moment the filter leaves Stopped until it is back.
//   m_instanceLock additionally serialises ICameraInstance's calls with each other and with
//   the control interfaces (IAMVideoProcAmp, IAMCameraControl, IAMVideoControl's flips),
//   which read the camera pointer and write the cached camera values under it.
// - The streaming thread runs OnThreadCreate, OnThreadStartPlay, FillBuffer and
//   OnThreadDestroy; they start, restart and end the camera's stream through m_session.
//   FillBuffer holds m_frameLock, which nothing else takes. PinState.h says which thread
//   owns which field of m_state.
// - Stop and pause from running (control thread) interrupt the session, which stops the
//   camera's stream without waiting for a start in progress; FillBuffer's waits watch the
//   thread's requests and the interruption, so neither waits for a long exposure to end.
// - The pages call the camera through the pointer GetCamera gave them, without a lock; the
//   camera library accepts calls from several threads, and a replaced camera is closed but
//   kept until the pin goes (OpenCamera). No lock is held while waiting for a frame.
#include <windows.h>
#include <ocidl.h>
#include <strmif.h>

#include <string>

#include "CCameraControlPart.h"
#include "CaptureSession.h"
#include "CVideoProcAmpPart.h"
#include "streams.h"
#include "FormatNegotiation.h"
#include "ICameraInstance.h"
#include "OpenCamera.h"
#include "PinState.h"
#include "StreamingTimerPeriod.h"

namespace vyx {

class CVCamera;

class CVCameraStream : public CSourceStream,
                       public IAMStreamConfig,
                       public IKsPropertySet,
                       public ISpecifyPropertyPages,
                       public IAMDroppedFrames,
                       public IAMVideoControl,
                       public CVideoProcAmpPart,
                       public CCameraControlPart,
                       public ICameraInstance {
public:
    // Connects to the camera of the build's model. On failure stores E_HANDLE (no camera
    // of the model) or E_FAIL (it cannot be opened) through `result`; the creator then
    // deletes the pin.
    CVCameraStream(HRESULT* result, CVCamera* filter, LPCWSTR name);
    ~CVCameraStream() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** object) override;

    // Negotiation
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT SetMediaType(const CMediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    LONG GetMediaTypeVersion() override;

    // Frame pump (streaming thread)
    HRESULT FillBuffer(IMediaSample* sample) override;
    HRESULT OnThreadCreate() override;
    HRESULT OnThreadStartPlay() override;
    HRESULT OnThreadDestroy() override;

    // Live source: delivers only while the filter runs (CVCameraStreamStop.cpp).
    bool DeliversWhilePaused() const override;
    void OnSampleNotDelivered(IMediaSample* sample) override;
    HRESULT Inactive() override;
    // The filter runs: a stream a pause interrupted restarts on the streaming thread.
    HRESULT Run(REFERENCE_TIME start) override;
    using CSourceStream::Run;
    // The filter leaves Running for Paused: the camera's stream stops, so no frame in
    // progress holds up the caller, and the worker waits for the next Run.
    HRESULT PauseDelivery();
    // The filter's state changes, under its state-change lock: configuration changes are
    // refused from Activate until Deactivate.
    CaptureSession& Session() { return m_session; }

    // IQualityControl: the pin does not adapt to quality messages.
    STDMETHODIMP Notify(IBaseFilter* sender, Quality quality) override;

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
    STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
    STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

    // IKsPropertySet
    STDMETHODIMP Set(REFGUID propSet, DWORD id, LPVOID instanceData, DWORD instanceLength, LPVOID propData,
                     DWORD dataLength) override;
    STDMETHODIMP Get(REFGUID propSet, DWORD id, LPVOID instanceData, DWORD instanceLength, LPVOID propData,
                     DWORD dataLength, DWORD* returned) override;
    STDMETHODIMP QuerySupported(REFGUID propSet, DWORD id, DWORD* support) override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

    // IAMDroppedFrames
    STDMETHODIMP GetNumDropped(LONG* dropped) override;
    STDMETHODIMP GetNumNotDropped(LONG* notDropped) override;
    STDMETHODIMP GetDroppedInfo(LONG size, LONG* array, LONG* copied) override;
    STDMETHODIMP GetAverageFrameSize(LONG* size) override;

    // IAMVideoControl
    STDMETHODIMP GetCaps(IPin* pin, LONG* flags) override;
    STDMETHODIMP SetMode(IPin* pin, LONG mode) override;
    STDMETHODIMP GetMode(IPin* pin, LONG* mode) override;
    STDMETHODIMP GetCurrentActualFrameRate(IPin* pin, LONGLONG* frameDuration) override;
    STDMETHODIMP GetMaxAvailableFrameRate(IPin* pin, LONG index, SIZE dimensions, LONGLONG* frameDuration) override;
    STDMETHODIMP GetFrameRateList(IPin* pin, LONG index, SIZE dimensions, LONG* listSize,
                                  LONGLONG** frameDurations) override;

    // ICameraInstance
    STDMETHODIMP GetCamera(VyxonCamera** camera) override;
    STDMETHODIMP SetCamera(VyxonCamera* camera) override;
    STDMETHODIMP GetImgSizeIndex(int* index) override;
    STDMETHODIMP SetImgSizeIndex(int index) override;
    STDMETHODIMP SetImgFormat(ImageFormat format) override;
    STDMETHODIMP SetBin(int bin) override;

private:
    static void LogMediaTypeDetails(const char* label, const AM_MEDIA_TYPE* type);
    // The camera's frame-rate range, or the fallback when it cannot tell.
    FrameRateRange CameraFrameRateRange() const;
    void ConnectCamera(HRESULT* result);
    // The ICameraInstance setters under the instance lock, without following the change.
    HRESULT SetImgSizeIndexLocked(int index);
    HRESULT SetImgFormatLocked(ImageFormat format);
    HRESULT SetBinLocked(int bin);
    // On a connected pin, reconnects in the camera's current configuration, so the next
    // run never writes frames of one size into samples of another. S_OK when unconnected.
    HRESULT FollowCameraConfiguration();
    void SaveSettingsIfEnabled();
    // Sets the camera to the connection's geometry where it differs (a configuration
    // changed or a camera replaced after the pin connected), so frames fill samples exactly.
    HRESULT ConfigureCameraForConnection();
    // True when the camera library no longer lists the pin's camera.
    bool CameraGone() const;

    // The session's camera: the pin's current camera library object, replaced only while
    // the session is stopped.
    class PinSessionCamera : public SessionCamera {
    public:
        explicit PinSessionCamera(const PinState& state) : m_state(state) {}
        bool StartStream() override { return m_state.camera && m_state.camera->StartVideoStream(); }
        void StopStream() override {
            if (m_state.camera) m_state.camera->StopVideoStream();
        }

    private:
        const PinState& m_state;
    };

    OpenCamera m_camera;                // the owner of m_state.camera
    PinState m_state;
    CVCamera* m_owner;                  // not reference-counted: the filter owns the pin
    std::string m_hostPath;             // executable path at construction, at most 127 characters
    CameraProp m_prop{};                // the open camera's own description
    FormatNegotiation m_negotiation;
    std::wstring m_settingsPath;        // empty: settings are neither loaded nor saved
    CCritSec m_instanceLock;            // ICameraInstance and the control interfaces
    ConnectionChoice m_connection;      // the connection's configuration; under the state lock
    CCritSec m_frameLock;               // FillBuffer only
    StreamingTimerPeriod m_timerPeriod; // 1 ms while the streaming thread runs
    PinSessionCamera m_sessionCamera{m_state};
    CaptureSession m_session{m_sessionCamera};
};

}  // namespace vyx
