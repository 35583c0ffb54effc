#pragma once
// The compiled table of supported models, generated from the same catalogue as the filter
// builds, so a row's file name, class identifier and product ID always match its build.
// Read-only; any thread may read it. Also the device-instance matching that maps a present
// device to its row.

#include "CameraModel.h"

#include <vyx_catalogue.h>

#include <array>
#include <cstdint>

namespace vyx::service {

inline constexpr std::size_t kCameraModelCount = catalogue::kModelCount;

// Matching present device instances per row, indexed by model index.
using ConnectedCounts = std::array<std::uint32_t, kCameraModelCount>;

class CameraModelTable {
public:
    static constexpr std::size_t Count() { return kCameraModelCount; }
    // Throws std::out_of_range("camera model index") at or beyond Count().
    static const CameraModel& Row(std::size_t index);
};

// True when the instance ID, upper-cased, begins with "USB\VID_vvvv&PID_" of the maker.
bool IsVendorDeviceInstanceId(const wchar_t* instanceId);

// The row whose hardware ID follows "USB\" and is itself followed by the end, "\" or "&";
// -1 when there is none. A null ID matches nothing.
int FindCameraModelIndex(const wchar_t* instanceId);

}  // namespace vyx::service
