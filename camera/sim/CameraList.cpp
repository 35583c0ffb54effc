#include "CameraList.h"

#include <cstdint>
#include <cstring>
#include <cwctype>

#include "DeviceSwitches.h"
#include "SimulatedBus.h"

namespace vyx::sim {

std::vector<CameraEntry> ListCameras() {
    std::vector<CameraEntry> cameras;
    for (const vyx::sim::bus::PluggedDevice& device : vyx::sim::bus::ListPlugged()) {
        std::uint16_t productId = 0;
        if (!vyx::sim::bus::ParseCameraInstanceId(device.instanceId, &productId, nullptr)) continue;
        for (const auto& row : vyx::catalogue::kModels) {
            if (row.productId != productId) continue;
            cameras.push_back({&row, device.instanceId, device.serial});
            break;
        }
    }
    return cameras;
}

int CameraIdOf(const CameraEntry& entry) {
    // FNV-1a over the upper-cased instance ID, which Windows compares without case.
    std::uint32_t hash = 2166136261u;
    for (wchar_t c : entry.instanceId) hash = (hash ^ static_cast<std::uint32_t>(std::towupper(c))) * 16777619u;
    return static_cast<int>(hash & 0x7FFFFFFF) | 1;
}

bool Usb3Link(const CameraEntry& entry) {
    DeviceSwitches switches;
    return entry.row->usb3 && !(switches.Open(entry.instanceId) && switches.On(vyx::sim::bus::kSwitchUsb2Link));
}

void FillCameraProp(const CameraEntry& entry, int cameraId, bool usb3Link, CameraProp* prop) {
    const auto& row = *entry.row;
    std::memset(prop, 0, sizeof *prop);
    std::strncpy(prop->modelName, row.displayName, sizeof prop->modelName - 1);
    prop->vendorId = vyx::catalogue::kVendorId;
    prop->productId = row.productId;
    prop->cameraId = cameraId;
    prop->isColorCamera = row.color;
    prop->hasST4Port = row.st4Port;
    prop->hasCooler = row.cooler;
    prop->isUsb3Host = usb3Link;
    prop->hasHardwareBin = row.hardwareBin;
    // The serial, in ASCII.
    size_t i = 0;
    for (; i < entry.serial.size() && i + 1 < sizeof prop->extraInfo; ++i)
        prop->extraInfo[i] = entry.serial[i] < 0x7F ? static_cast<char>(entry.serial[i]) : '?';
    const int binCount = row.binFactorCount < 15 ? row.binFactorCount : 15;
    for (int b = 0; b < binCount; ++b) prop->supportedBins[b] = row.binFactors[b];
    const int formatCount = row.imageFormatCount < 7 ? row.imageFormatCount : 7;
    for (int f = 0; f < 8; ++f) prop->supportedFormats[f] = f < formatCount ? row.imageFormats[f] : -1;
}

}  // namespace vyx::sim
