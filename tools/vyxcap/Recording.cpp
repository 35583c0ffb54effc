#include "Recording.h"

#include "AviWriter.h"
#include "QueuedFrameWriter.h"
#include "SerWriter.h"

namespace vyx::vyxcap {

std::unique_ptr<FrameWriter> OpenRecording(const CaptureOptions& options, const AM_MEDIA_TYPE& type,
                                           const std::wstring& deviceName) {
    std::unique_ptr<FrameFile> file;
    if (!options.serPath.empty())
        file =
            std::make_unique<SerWriter>(options.serPath, RecordingLayoutOf(type, RecordingContainer::Ser), deviceName);
    else
        file = std::make_unique<AviWriter>(options.aviPath, RecordingLayoutOf(type, RecordingContainer::Avi));
    return std::make_unique<QueuedFrameWriter>(std::move(file));
}

}  // namespace vyx::vyxcap
