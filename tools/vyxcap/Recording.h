#pragma once
// Opens the recording file a capture's options ask for (--ser or --avi) for frames of the
// chosen type; throws ToolError when the container cannot hold them or the file cannot be
// created.
#include <windows.h>
#include <dshow.h>

#include <memory>
#include <string>

#include "CommandLine.h"
#include "FrameWriter.h"

namespace vyx::vyxcap {

std::unique_ptr<FrameWriter> OpenRecording(const CaptureOptions& options, const AM_MEDIA_TYPE& type,
                                           const std::wstring& deviceName);

}  // namespace vyx::vyxcap
