#pragma once
// The Media Foundation media sources of the plugged cameras: a Vyxon model's source is
// registered exactly while its filter build is, which the hot-plug service keeps to the
// cameras that are plugged in. Media Foundation itself lists only device sources
// (MFEnumDeviceSources), so the list comes from the model catalogue and the registry.
#include <windows.h>
#include <mfidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace vyx::vyxcap {

struct MediaSourceEntry {
    std::wstring friendlyName;
    std::wstring clsidText;
    CLSID clsid;
};

std::vector<MediaSourceEntry> EnumerateMediaSources();
// By friendly name (letter case ignored), CLSID text or line number in the list; throws
// ToolError when there is none.
MediaSourceEntry FindMediaSource(const std::wstring& spec);
// Creates it; throws ToolError saying why it cannot be had (no camera, held elsewhere).
Microsoft::WRL::ComPtr<IMFMediaSource> CreateMediaSource(const MediaSourceEntry& entry);

}  // namespace vyx::vyxcap
