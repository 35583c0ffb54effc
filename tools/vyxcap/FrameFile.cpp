#include "FrameFile.h"

#include <cstring>

namespace vyx::vyxcap {

FrameFile::FrameFile(const RecordingLayout& layout, bool topRowFirst, std::size_t storedStride)
    : m_layout(layout), m_topRowFirst(topRowFirst), m_storedStride(storedStride) {}

bool FrameFile::HasStoredRows(std::size_t length) const {
    return m_layout.bottomUp != m_topRowFirst && m_layout.stride == m_storedStride && length >= StoredFrameBytes();
}

void FrameFile::StoreFrame(const std::uint8_t* sample, std::size_t length, std::uint8_t* out) const {
    CheckSampleLength(m_layout, length);
    if (HasStoredRows(length))
        std::memcpy(out, sample, StoredFrameBytes());
    else
        PackRows(m_layout, sample, m_topRowFirst, m_storedStride, out);
}

void FrameFile::WriteFrame(const std::uint8_t* data, std::size_t length, std::int64_t utcTicks) {
    CheckSampleLength(m_layout, length);
    if (HasStoredRows(length)) {
        WriteStoredFrame(data, utcTicks);
        return;
    }
    m_stored.resize(StoredFrameBytes());
    PackRows(m_layout, data, m_topRowFirst, m_storedStride, m_stored.data());
    WriteStoredFrame(m_stored.data(), utcTicks);
}

}  // namespace vyx::vyxcap
