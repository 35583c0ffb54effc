#include "FrameCollector.h"

#include <vfwmsgs.h>

#include <algorithm>
#include <cstring>

namespace vyx::vyxcap {

FrameCollector::FrameCollector(int frames, long frameBytes, bool keepLastFrame)
    : m_target(frames),
      m_keepLastFrame(keepLastFrame),
      m_done(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_stats(frameBytes) {
    if (keepLastFrame) m_lastFrame.resize(frameBytes > 0 ? frameBytes : 0);
}

STDMETHODIMP FrameCollector::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
        *ppv = static_cast<ISampleGrabberCB*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) FrameCollector::AddRef() { return ++m_references; }

STDMETHODIMP_(ULONG) FrameCollector::Release() {
    const ULONG count = --m_references;
    if (count == 0) delete this;
    return count;
}

STDMETHODIMP FrameCollector::SampleCB(double, IMediaSample* sample) {
    if (!sample) return E_POINTER;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    SampleRecord record;
    record.arrival = now.QuadPart;
    const HRESULT timeResult = sample->GetTime(&record.start, &record.end);
    record.hasTime = SUCCEEDED(timeResult);
    if (timeResult == VFW_S_NO_STOP_TIME) record.end = record.start + 1;
    record.syncPoint = sample->IsSyncPoint() == S_OK;
    record.length = sample->GetActualDataLength();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const int index = m_frames.load();
        if (index >= m_target) return S_OK;  // frames after the Nth, before the graph stops
        m_stats.Add(record);
        BYTE* data = nullptr;
        const bool readable = SUCCEEDED(sample->GetPointer(&data)) && data;
        if (m_keepLastFrame && index == m_target - 1 && readable) {
            m_lastLength = std::clamp<long>(record.length, 0, static_cast<long>(m_lastFrame.size()));
            std::memcpy(m_lastFrame.data(), data, m_lastLength);
        }
        if (m_dump && readable) Dump(data, record.length);
        m_frames.store(index + 1);
    }
    if (m_frames.load() == m_target) SetEvent(m_done.Get());
    return S_OK;
}

void FrameCollector::DumpTo(OutputFile* file) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_dump = file;
}

void FrameCollector::Dump(const BYTE* data, long length) {
    try {
        m_dump->Append(data, static_cast<std::size_t>(std::max<long>(length, 0)));
    } catch (const std::exception& error) {  // nothing thrown leaves a COM method
        m_dumpFailure = error.what();
        m_dump = nullptr;
    }
}

std::string FrameCollector::DumpFailure() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_dumpFailure;
}

STDMETHODIMP FrameCollector::BufferCB(double, BYTE*, long) { return E_NOTIMPL; }

FrameStats FrameCollector::Stats() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_stats;
}

std::vector<std::uint8_t> FrameCollector::LastFrame() const {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_frames.load() < m_target) return {};
    return std::vector<std::uint8_t>(m_lastFrame.begin(), m_lastFrame.begin() + m_lastLength);
}

}  // namespace vyx::vyxcap
