#pragma once
// Per-build constants of the filter library. Every build compiles in exactly one
// descriptor, generated from the model catalogue; the code that uses it is shared.
#include <guiddef.h>  // not windows.h: it would be most of each build's compile

#include <cstdint>

#include "ResolutionLadder.h"

namespace vyx {

struct ModelDescriptor {
    const char* displayName;       // settings-file section, About page
    const wchar_t* friendlyName;   // registration and class factory entry
    std::uint16_t vendorId;
    std::uint16_t productId;
    std::int32_t sensorWidth;
    std::int32_t sensorHeight;
    const Resolution* resolutions; // entry 0 is the full sensor
    std::int32_t resolutionCount;
    GUID filterClsid;
    GUID pageClsids[8];            // class-factory order: Image Parameters, Camera Control,
                                   // Auto Control, Color, ST4 Test, Temperature, About, Others
    GUID cameraInstanceIid;
    GUID mediaSourceClsid;         // the Media Foundation media source beside the filter
};

// Defined once per build by its generated descriptor source.
extern const ModelDescriptor g_ModelDescriptor;

}  // namespace vyx
