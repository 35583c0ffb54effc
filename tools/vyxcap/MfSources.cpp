#include "MfSources.h"

#include <mferror.h>

#include "Text.h"
#include "ToolError.h"
#include "UniqueResource.h"
#include "vyx_catalogue.h"

namespace vyx::vyxcap {

using Microsoft::WRL::ComPtr;

namespace {
bool Registered(const wchar_t* clsidText) {
    const std::wstring key = std::wstring(L"CLSID\\") + clsidText + L"\\InprocServer32";
    vyx::win::UniqueRegKey handle;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.Put()) == ERROR_SUCCESS;
}
}  // namespace

std::vector<MediaSourceEntry> EnumerateMediaSources() {
    std::vector<MediaSourceEntry> sources;
    for (const auto& row : vyx::catalogue::kModels)
        if (Registered(row.mediaSourceClsidText))
            sources.push_back({row.friendlyName, row.mediaSourceClsidText, row.mediaSourceClsid});
    return sources;
}

MediaSourceEntry FindMediaSource(const std::wstring& spec) {
    const std::vector<MediaSourceEntry> sources = EnumerateMediaSources();
    for (const MediaSourceEntry& source : sources)
        if (CompareStringOrdinal(source.friendlyName.c_str(), -1, spec.c_str(), -1, TRUE) == CSTR_EQUAL ||
            CompareStringOrdinal(source.clsidText.c_str(), -1, spec.c_str(), -1, TRUE) == CSTR_EQUAL)
            return source;
    if (const auto index = ParseLong(spec); index && *index >= 0 && static_cast<size_t>(*index) < sources.size())
        return sources[static_cast<size_t>(*index)];
    throw ToolError("no media source \"" + Narrow(spec) + "\" (see vyxcap list --api mf)");
}

ComPtr<IMFMediaSource> CreateMediaSource(const MediaSourceEntry& entry) {
    ComPtr<IMFMediaSource> source;
    const HRESULT hr = CoCreateInstance(entry.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&source));
    std::string name = "\"";  // built in steps: GCC 12 warns wrongly about "..." + string here
    name += Narrow(entry.friendlyName);
    name += '"';
    if (hr == MF_E_NO_CAPTURE_DEVICES_AVAILABLE) throw ToolError(name + ": no camera of the model is plugged in");
    if (hr == MF_E_VIDEO_DEVICE_LOCKED) throw ToolError(name + ": the camera is in use by another program");
    ThrowIfFailed(hr, "creating the media source " + name);
    return source;
}

}  // namespace vyx::vyxcap
