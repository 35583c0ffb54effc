#pragma once
// Which camera the core holds: its USB vendor and product ID with the serial the library
// reports (CameraProp::extraInfo), or with the library's camera id where it reports no
// serial. Never its place in the library's list, which moves when another camera of any
// model comes or goes.
#include <cstdint>

#include "VyxonCamera.h"

namespace vyx {

struct CameraIdentity {
    std::int32_t vendorId = 0;
    std::int32_t productId = 0;
    std::int32_t cameraId = 0;
    char serial[sizeof CameraProp::extraInfo] = {};  // a copy, not a string: the worker copies it

    static CameraIdentity Of(const CameraProp& prop);
    bool Matches(const CameraProp& prop) const;
    // Whether the camera library still lists this camera.
    bool Listed() const;
};

}  // namespace vyx
