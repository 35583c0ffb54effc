#include "RecordingSink.h"

#include "RecordingInputPin.h"
#include "SerWriter.h"
#include "ToolError.h"

namespace vyx::vyxcap {
namespace {

// The sink is created by vyxcap itself, never through COM: a null class identifier.
constexpr CLSID kNoClass = {};

}  // namespace

Microsoft::WRL::ComPtr<IBaseFilter> RecordingSink::Create(std::unique_ptr<FrameWriter> writer, const GUID& subtype,
                                                          int frameLimit, RecordingSink** self) {
    auto* sink = new RecordingSink(std::move(writer), subtype, frameLimit);
    Microsoft::WRL::ComPtr<IBaseFilter> filter(static_cast<IBaseFilter*>(sink));
    if (self) *self = sink;
    return filter;
}

RecordingSink::RecordingSink(std::unique_ptr<FrameWriter> writer, const GUID& subtype, int frameLimit)
    : CBaseFilter(L"Recording sink", nullptr, &m_stateLock, kNoClass),
      m_writer(std::move(writer)),
      m_pin(std::make_unique<RecordingInputPin>(this, &m_stateLock, subtype)),
      m_frameLimit(frameLimit),
      m_complete(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_failed(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

RecordingSink::~RecordingSink() = default;

CBasePin* RecordingSink::GetPin(int n) { return n == 0 ? m_pin.get() : nullptr; }

STDMETHODIMP RecordingSink::Run(REFERENCE_TIME tStart) {
    std::int64_t none = 0;
    m_runUtc.compare_exchange_strong(none, SerTicksNowUtc());
    return CBaseFilter::Run(tStart);
}

HRESULT RecordingSink::Record(IMediaSample* sample) {
    if (Failed()) return S_FALSE;
    if (m_writer->Frames() >= m_frameLimit) return S_OK;  // frames after the last, before the stop
    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr) || !data) return FAILED(hr) ? hr : E_POINTER;
    // The frame's own time from the stream's start; an untimed frame gets the clock's.
    REFERENCE_TIME start = 0, end = 0;
    const std::int64_t runUtc = m_runUtc.load();
    const std::int64_t utc =
        runUtc != 0 && SUCCEEDED(sample->GetTime(&start, &end)) ? runUtc + start : SerTicksNowUtc();
    try {
        m_writer->WriteFrame(data, static_cast<std::size_t>(sample->GetActualDataLength()), utc);
        if (m_writer->Frames() >= m_frameLimit) SetEvent(m_complete.Get());
        return S_OK;
    } catch (const std::exception& error) {  // nothing thrown leaves a COM method
        {
            std::lock_guard<std::mutex> lock(m_failureLock);
            m_failure = error.what();
        }
        SetEvent(m_failed.Get());
        return S_FALSE;  // upstream stops sending
    }
}

std::string RecordingSink::Failure() const {
    std::lock_guard<std::mutex> lock(m_failureLock);
    return m_failure;
}

}  // namespace vyx::vyxcap
