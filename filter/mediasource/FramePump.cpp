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
    m_pool = SamplePool::Create(static_cast<DWORD>(SampleBytes(format)));
    if (!m_pool) return E_OUTOFMEMORY;
    HRESULT hr = m_camera.Activate();
    if (FAILED(hr)) {
        m_pool.Reset();
        return hr;
    }
    m_pool->SetListener(&FramePump::SampleReturned, this);
    m_format = format;
    m_lastTime = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_state = State::Running;
        try {
            m_thread = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            m_state = State::Stopped;
            hr = E_OUTOFMEMORY;
        }
    }
    if (FAILED(hr)) {
        m_camera.Deactivate();
        m_pool->SetListener(nullptr, nullptr);
        m_pool.Reset();
        return hr;
    }
    m_camera.Run();
    return S_OK;
}

void FramePump::Pause() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state != State::Running) return;
        m_state = State::Paused;
    }
    m_camera.Pause();
}

void FramePump::Resume() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state != State::Paused) return;
        m_state = State::Running;
        m_wake.notify_all();
    }
    m_camera.Run();
}

void FramePump::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state == State::Stopped && !m_thread.joinable()) return;
        m_state = State::Stopped;
        m_requests.clear();
        m_wake.notify_all();
    }
    m_camera.Stop();  // a read in progress gives way
    if (m_thread.joinable()) m_thread.join();
    m_camera.Deactivate();
    // Samples still out come back to the pool, which lives until the last of them.
    m_pool->SetListener(nullptr, nullptr);
    m_pool.Reset();
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

void FramePump::SampleReturned(void* pump) {
    auto* self = static_cast<FramePump*>(pump);
    std::lock_guard<std::mutex> lock(self->m_lock);
    self->m_wake.notify_all();
}

void FramePump::Run() {
    const HRESULT begun = m_camera.BeginStream();
    std::unique_lock<std::mutex> lock(m_lock);
    if (FAILED(begun) && m_state != State::Stopped) {
        m_state = State::Ended;
        lock.unlock();
        m_sink.OnStreamEnded(begun);
        lock.lock();
    }
    for (;;) {
        // A sample of the pool must be free too: while the application holds them all, the
        // camera's frames wait in the camera.
        m_wake.wait(lock, [&] {
            return m_state == State::Stopped ||
                   (m_state == State::Running && !m_requests.empty() && m_pool->Available());
        });
        if (m_state == State::Stopped) break;
        lock.unlock();
        ComPtr<IMFSample> sample;
        const HRESULT read = ReadSample(&sample);
        lock.lock();
        if (m_state != State::Running || read == S_FALSE) continue;  // the frame a pause or stop cut off
        if (FAILED(read)) {
            m_state = State::Ended;
            lock.unlock();
            m_sink.OnStreamEnded(read);
            lock.lock();
            continue;
        }
        ComPtr<IUnknown> token = std::move(m_requests.front());
        m_requests.pop_front();
        if (token) sample->SetUnknown(MFSampleExtension_Token, token.Get());
        lock.unlock();
        m_sink.OnSample(sample.Get());
        sample.Reset();  // back to the pool once the application lets go of it too
        lock.lock();
    }
    lock.unlock();
    m_camera.EndStream();
}

HRESULT FramePump::ReadSample(ComPtr<IMFSample>* sample) {
    const DWORD bytes = static_cast<DWORD>(SampleBytes(m_format));
    ComPtr<IMFSample> taken;
    ComPtr<IMFMediaBuffer> buffer;
    HRESULT hr;
    if (FAILED(hr = m_pool->Take(&taken)) || FAILED(hr = taken->GetBufferByIndex(0, &buffer))) return hr;
    BYTE* data = nullptr;
    if (FAILED(hr = buffer->Lock(&data, nullptr, nullptr))) return hr;
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
    if (FAILED(hr = buffer->SetCurrentLength(bytes)) || FAILED(hr = taken->SetSampleTime(time)) ||
        FAILED(hr = taken->SetSampleDuration(duration)) ||
        FAILED(hr = taken->SetUINT32(MFSampleExtension_CleanPoint, TRUE)))
        return hr;
    *sample = std::move(taken);
    return S_OK;
}

}  // namespace vyx::mf
