#include "StreamCapabilities.h"

#include <string>

#include "ToolError.h"

namespace vyx::vyxcap {

std::vector<StreamCapability> ReadCapabilities(IAMStreamConfig* config) {
    int count = 0;
    int size = 0;
    ThrowIfFailed(config->GetNumberOfCapabilities(&count, &size), "GetNumberOfCapabilities");
    if (count < 0) throw ToolError("GetNumberOfCapabilities gave a negative count");
    if (count > 0 && size != static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)))
        throw ToolError("the device's capability records have " + std::to_string(size) +
                        " bytes, not those of video (" + std::to_string(sizeof(VIDEO_STREAM_CONFIG_CAPS)) + ")");
    std::vector<StreamCapability> capabilities(count);
    for (int i = 0; i < count; ++i) {
        StreamCapability& capability = capabilities[i];
        if (FAILED(config->GetStreamCaps(i, capability.type.Put(),
                                         reinterpret_cast<BYTE*>(&capability.caps))))
            capability.type.Reset();
    }
    return capabilities;
}

}  // namespace vyx::vyxcap
