// The record of the guide pulses a simulated camera was asked for, kept as a binary
// value on its device instance, so a test sees what a page or an application sent through
// the maker's interface: direction, duration and when the request came. The camera
// library appends; tests read and clear. At most kMaxGuidePulses records, newest last.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vyx::sim::bus {

struct GuidePulseRecord {
    std::int32_t direction;     // GuideDirection as sent
    std::int32_t milliseconds;  // as sent, refused values included
    std::int32_t accepted;      // 1 when the camera started the pulse
    std::int32_t reserved;
    std::int64_t timeUs;        // performance-counter time of the request, microseconds
};

inline constexpr size_t kMaxGuidePulses = 64;

// The performance-counter clock of the records, in microseconds.
std::int64_t GuideClockUs();
// Every function returns a Win32 error code (ERROR_DEVICE_NOT_CONNECTED for an unplugged camera).
DWORD AppendGuidePulse(const std::wstring& instanceId, const GuidePulseRecord& record);
DWORD ReadGuidePulses(const std::wstring& instanceId, std::vector<GuidePulseRecord>* records);
DWORD ClearGuidePulses(const std::wstring& instanceId);

}  // namespace vyx::sim::bus
