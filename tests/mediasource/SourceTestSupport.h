#pragma once
// Helpers of the media source's tests: creating the build's source as its class factory
// does, choosing a type, reading frames through the platform's source reader, waiting for
// events, the IKsControl calls, and the simulator's test pattern as each type shows it.
#include <windows.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <ks.h>
#include <ksproxy.h>
#include <wrl/client.h>

#include <vector>

#include "ReferenceFrames.h"

// ksproxy.h declares IKsControl without the identifier that IID_PPV_ARGS looks up.
__CRT_UUID_DECL(IKsControl, 0x28f54685, 0x06fd, 0x11d2, 0xb2, 0x7a, 0x00, 0xa0, 0xc9, 0x22, 0x31, 0x96)

namespace vyx::test {

using Microsoft::WRL::ComPtr;

HRESULT CreateSource(ComPtr<IMFMediaSource>* source);
DWORD TypeCount(IMFMediaSource* source);
// Makes native type `index` the stream's current type, as the reader then starts with it.
HRESULT SelectType(IMFMediaSource* source, DWORD index, ComPtr<IMFMediaType>* type);
HRESULT CreateReader(IMFMediaSource* source, ComPtr<IMFSourceReader>* reader);

struct Frame {
    std::vector<BYTE> bytes;
    LONGLONG time;
};
// Reads `count` samples; fails at the first read that gives no sample.
HRESULT ReadFrames(IMFSourceReader* reader, int count, std::vector<Frame>* frames, DWORD* lastFlags = nullptr);
// The bytes of a sample's buffers, one after the other.
std::vector<BYTE> SampleBytes(IMFSample* sample);

// The next event of `generator` within `timeoutMs`, or null.
ComPtr<IMFMediaEvent> NextEvent(IMFMediaEventGenerator* generator, DWORD timeoutMs = 10000);
// The next event of that type, skipping others; null when none comes.
ComPtr<IMFMediaEvent> WaitForEvent(IMFMediaEventGenerator* generator, MediaEventType type, DWORD timeoutMs = 10000);
MediaEventType TypeOf(IMFMediaEvent* event);
HRESULT StatusOf(IMFMediaEvent* event);

// IKsControl on the two standard sets; the property data is KSPROPERTY_VIDEOPROCAMP_S
// (the camera-control layout is the same).
HRESULT KsGet(IKsControl* control, const GUID& set, ULONG id, long* value, ULONG* flags, ULONG* caps = nullptr);
HRESULT KsSet(IKsControl* control, const GUID& set, ULONG id, long value, ULONG flags);
HRESULT KsRange(IKsControl* control, const GUID& set, ULONG id, long* min, long* max, long* step);
HRESULT KsDefault(IKsControl* control, const GUID& set, ULONG id, long* value);

// Where the camera's region starts on the binned sensor, from pan and tilt and their ranges.
void RegionStart(IMFMediaSource* source, int* x, int* y);

// The simulator's test pattern for a region of width x height starting at (x0, y0).
ColourPicture PatternPicture(int width, int height, int x0, int y0);
GreyPicture PatternGrey(int width, int height, int x0, int y0);
std::vector<BYTE> PatternYuy2(int width, int height, int x0, int y0);
std::vector<BYTE> PatternL16(int width, int height, int x0, int y0);

}  // namespace vyx::test
