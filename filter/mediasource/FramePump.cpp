#include "FramePump.h"

#include <mfapi.h>  // MFSampleExtension_*
#include <mferror.h>

#include <new>

#include "MfPlatform.h"

namespace vyx::mf {

using Microsoft::WRL::ComPtr;

HRESULT FramePump::Start(const SourceFormat& format) {
    Stop();
    try {
        m_frame.resize(format.conversion == Conversion::Direct ? 0 : CameraFrameBytes(format));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    m_format = format;
    m_lastTime = 0;
    std::lock_guard<std::mutex> lock(m_lock);
    m_state = State::Running;
    m_restart = true;
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        m_state = State::Stopped;
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void FramePump::Pause() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state != State::Running) return;
        m_state = State::Paused;
        m_restart = true;
    }
    m_camera.StopStream();
}

void FramePump::Resume() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state != State::Paused) return;
    m_state = State::Running;
    m_wake.notify_all();
}

void FramePump::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state == State::Stopped) return;
        m_state = State::Stopped;
        m_requests.clear();
        m_wake.notify_all();
    }
    m_camera.StopStream();  // ends a read in progress
    if (m_thread.joinable()) m_thread.join();
    m_camera.StopStream();  // a start the thread made after the first stop
}

HRESULT FramePump::Request(IUnknown* token) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state == State::Stopped) return MF_E_MEDIA_SOURCE_WRONGSTATE;
    try {
        m_requests.emplace_back(token);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    m_wake.notify_all();
    return S_OK;
}

void FramePump::Run() {
    std::unique_lock<std::mutex> lock(m_lock);
    int failures = 0;
    for (;;) {
        m_wake.wait(lock, [&] { return m_state == State::Stopped || (m_state == State::Running && !m_requests.empty()); });
        if (m_state == State::Stopped) return;
        if (m_restart) {
            m_restart = false;
            lock.unlock();
            const HRESULT started = m_camera.StartStream();
            lock.lock();
            if (m_state != State::Running) {  // a pause or stop overtook the start
                lock.unlock();
                m_camera.StopStream();
                lock.lock();
                m_restart = true;
                continue;
            }
            if (FAILED(started)) {
                m_state = State::Ended;
                lock.unlock();
                m_sink.OnStreamEnded(started);
                lock.lock();
                continue;
            }
        }
        lock.unlock();
        ComPtr<IMFSample> sample;
        const HRESULT read = ReadSample(&sample);
        lock.lock();
        if (m_state != State::Running || read == S_FALSE) continue;  // the frame a pause or stop cut off
        if (FAILED(read)) {
            if (read != MF_E_VIDEO_RECORDING_DEVICE_INVALIDATED && ++failures < kMaxReadFailures) continue;
            m_state = State::Ended;
            lock.unlock();
            m_sink.OnStreamEnded(read);
            lock.lock();
            continue;
        }
        failures = 0;
        ComPtr<IUnknown> token = std::move(m_requests.front());
        m_requests.pop_front();
        if (token) sample->SetUnknown(MFSampleExtension_Token, token.Get());
        lock.unlock();
        m_sink.OnSample(sample.Get());
        lock.lock();
    }
}

HRESULT FramePump::ReadSample(ComPtr<IMFSample>* sample) {
    const DWORD bytes = static_cast<DWORD>(SampleBytes(m_format));
    ComPtr<IMFMediaBuffer> buffer;
    HRESULT hr = platform::CreateMemoryBuffer(bytes, &buffer);
    if (FAILED(hr)) return hr;
    BYTE* data = nullptr;
    hr = buffer->Lock(&data, nullptr, nullptr);
    if (FAILED(hr)) return hr;
    LONGLONG duration = 0;
    if (m_format.conversion == Conversion::Direct) {
        hr = m_camera.ReadFrame(data, bytes, &duration);
    } else {
        hr = m_camera.ReadFrame(m_frame.data(), m_frame.size(), &duration);
        if (hr == S_OK)
            hr = ConvertFrame(m_format.conversion, m_frame.data(), m_frame.size(), data, bytes, m_format.width,
                              m_format.height);
    }
    buffer->Unlock();
    if (hr != S_OK) return hr;

    // A live source stamps each frame with the system time of its arrival, kept increasing.
    LONGLONG time = platform::SystemTime();
    if (time <= m_lastTime) time = m_lastTime + 1;
    m_lastTime = time;
    ComPtr<IMFSample> created;
    if (FAILED(hr = buffer->SetCurrentLength(bytes)) || FAILED(hr = platform::CreateSample(&created)) ||
        FAILED(hr = created->AddBuffer(buffer.Get())) || FAILED(hr = created->SetSampleTime(time)) ||
        FAILED(hr = created->SetSampleDuration(duration)) ||
        FAILED(hr = created->SetUINT32(MFSampleExtension_CleanPoint, TRUE)))
        return hr;
    *sample = std::move(created);
    return S_OK;
}

}  // namespace vyx::mf
