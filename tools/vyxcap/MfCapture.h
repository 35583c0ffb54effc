#pragma once
// vyxcap's Media Foundation commands (--api mf): list the plugged cameras' media sources,
// show a source's media types, and capture and record through IMFSourceReader as `capture`
// does through a DirectShow graph.
#include <string>

#include "CommandLine.h"

namespace vyx::vyxcap {

void RunMfList();
void RunMfCaps(const std::wstring& device);
void RunMfCapture(const std::wstring& device, const CaptureOptions& options);

}  // namespace vyx::vyxcap
