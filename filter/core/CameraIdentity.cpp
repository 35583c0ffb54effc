#include "CameraIdentity.h"

#include <cstring>

namespace vyx {

CameraIdentity CameraIdentity::Of(const CameraProp& prop) {
    CameraIdentity identity;
    identity.vendorId = prop.vendorId;
    identity.productId = prop.productId;
    identity.cameraId = prop.cameraId;
    std::memcpy(identity.serial, prop.extraInfo, sizeof identity.serial);
    identity.serial[sizeof identity.serial - 1] = '\0';
    return identity;
}

bool CameraIdentity::Matches(const CameraProp& prop) const {
    if (prop.vendorId != vendorId || prop.productId != productId) return false;
    const std::size_t length = strnlen(prop.extraInfo, sizeof prop.extraInfo);
    if (serial[0] != '\0') return length == std::strlen(serial) && std::memcmp(serial, prop.extraInfo, length) == 0;
    return length == 0 && prop.cameraId == cameraId;
}

bool CameraIdentity::Listed() const {
    const int count = VyxonCamera::GetCamerasCount();
    for (int index = 0; index < count; ++index) {
        CameraProp prop{};
        if (VyxonCamera::GetCameraProp(index, &prop) && Matches(prop)) return true;
    }
    return false;
}

}  // namespace vyx
