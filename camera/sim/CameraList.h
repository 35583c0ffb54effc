// The connected cameras: the present device instances of the maker's vendor ID whose
// product ID is a catalogue row, in the bus's stable enumeration order. A camera's ID
// comes from its device instance, so it stays the same while the camera stays plugged,
// whatever is plugged or unplugged beside it.
#pragma once

#include <string>
#include <vector>

#include "VyxonCamera.h"
#include "vyx_catalogue.h"

namespace vyx::sim {

struct CameraEntry {
    const vyx::catalogue::ModelRow* row = nullptr;
    std::wstring instanceId;
    std::wstring serial;
};

std::vector<CameraEntry> ListCameras();
// The camera's ID: positive, and the same for the same device instance.
int CameraIdOf(const CameraEntry& entry);
// Whether the camera runs at USB 3 speed: a USB 3 model, unless its switch puts it on USB 2.
bool Usb3Link(const CameraEntry& entry);
void FillCameraProp(const CameraEntry& entry, int cameraId, bool usb3Link, CameraProp* prop);

}  // namespace vyx::sim
