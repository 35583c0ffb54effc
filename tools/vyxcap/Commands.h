#pragma once
// The five commands of vyxcap. Each writes its result to standard output and throws
// ToolError on failure.
#include "CommandLine.h"

namespace vyx::vyxcap {

void RunList();
void RunCaps(const std::wstring& device);
void RunControls(const std::wstring& device);
void RunSet(const Command& command);
void RunCapture(const std::wstring& device, const CaptureOptions& options);

}  // namespace vyx::vyxcap
