#include "Recording.h"

#include "AviWriter.h"
#include "SerWriter.h"

namespace vyx::vyxcap {

std::unique_ptr<FrameWriter> OpenRecording(const CaptureOptions& options, const AM_MEDIA_TYPE& type,
                                           const std::wstring& deviceName) {
    if (!options.serPath.empty())
        return std::make_unique<SerWriter>(options.serPath, RecordingLayoutOf(type, RecordingContainer::Ser),
                                           deviceName);
    return std::make_unique<AviWriter>(options.aviPath, RecordingLayoutOf(type, RecordingContainer::Avi));
}

}  // namespace vyx::vyxcap
