#include "SourceTestSupport.h"

#include <mfapi.h>
#include <ksmedia.h>
#include <mferror.h>

#include "CUnknown.h"
#include "MediaSourceFactory.h"
#include "TestPattern.h"

namespace vyx::test {

namespace pattern = vyx::sim::bus::pattern;

HRESULT CreateSource(ComPtr<IMFMediaSource>* source) {
    HRESULT hr = S_OK;
    CUnknown* object = vyx::mf::CreateCameraMediaSource(nullptr, &hr);
    if (!object) return hr;
    if (FAILED(hr)) {
        delete object;
        return hr;
    }
    object->NonDelegatingAddRef();
    hr = object->NonDelegatingQueryInterface(IID_IMFMediaSource, reinterpret_cast<void**>(source->ReleaseAndGetAddressOf()));
    object->NonDelegatingRelease();
    return hr;
}

namespace {
ComPtr<IMFMediaTypeHandler> Handler(IMFMediaSource* source) {
    ComPtr<IMFPresentationDescriptor> presentation;
    ComPtr<IMFStreamDescriptor> stream;
    ComPtr<IMFMediaTypeHandler> handler;
    BOOL selected = FALSE;
    if (FAILED(source->CreatePresentationDescriptor(&presentation)) ||
        FAILED(presentation->GetStreamDescriptorByIndex(0, &selected, &stream)) ||
        FAILED(stream->GetMediaTypeHandler(&handler)))
        return nullptr;
    return handler;
}
}  // namespace

DWORD TypeCount(IMFMediaSource* source) {
    DWORD count = 0;
    ComPtr<IMFMediaTypeHandler> handler = Handler(source);
    if (handler) handler->GetMediaTypeCount(&count);
    return count;
}

HRESULT SelectType(IMFMediaSource* source, DWORD index, ComPtr<IMFMediaType>* type) {
    ComPtr<IMFMediaTypeHandler> handler = Handler(source);
    if (!handler) return E_FAIL;
    HRESULT hr = handler->GetMediaTypeByIndex(index, type->ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    return handler->SetCurrentMediaType(type->Get());
}

HRESULT CreateReader(IMFMediaSource* source, ComPtr<IMFSourceReader>* reader) {
    return MFCreateSourceReaderFromMediaSource(source, nullptr, reader->ReleaseAndGetAddressOf());
}

std::vector<BYTE> SampleBytes(IMFSample* sample) {
    std::vector<BYTE> bytes;
    ComPtr<IMFMediaBuffer> buffer;
    if (FAILED(sample->ConvertToContiguousBuffer(&buffer))) return bytes;
    BYTE* data = nullptr;
    DWORD length = 0;
    if (FAILED(buffer->Lock(&data, nullptr, &length))) return bytes;
    bytes.assign(data, data + length);
    buffer->Unlock();
    return bytes;
}

HRESULT ReadFrames(IMFSourceReader* reader, int count, std::vector<Frame>* frames, DWORD* lastFlags) {
    for (int i = 0; i < count; ++i) {
        DWORD stream = 0, flags = 0;
        LONGLONG time = 0;
        ComPtr<IMFSample> sample;
        const HRESULT hr = reader->ReadSample(MF_SOURCE_READER_FIRST_VIDEO_STREAM, 0, &stream, &flags, &time, &sample);
        if (lastFlags) *lastFlags = flags;
        if (FAILED(hr)) return hr;
        if (!sample) return E_FAIL;
        frames->push_back({SampleBytes(sample.Get()), time});
    }
    return S_OK;
}

ComPtr<IMFMediaEvent> NextEvent(IMFMediaEventGenerator* generator, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        ComPtr<IMFMediaEvent> event;
        const HRESULT hr = generator->GetEvent(MF_EVENT_FLAG_NO_WAIT, &event);
        if (SUCCEEDED(hr)) return event;
        if (hr != MF_E_NO_EVENTS_AVAILABLE || GetTickCount64() > deadline) return nullptr;
        Sleep(1);  // a bounded wait for the pump's thread, not the placing of a race
    }
}

ComPtr<IMFMediaEvent> WaitForEvent(IMFMediaEventGenerator* generator, MediaEventType type, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now > deadline) return nullptr;
        ComPtr<IMFMediaEvent> event = NextEvent(generator, static_cast<DWORD>(deadline - now));
        if (!event || TypeOf(event.Get()) == type) return event;
    }
}

MediaEventType TypeOf(IMFMediaEvent* event) {
    MediaEventType type = MEUnknown;
    if (event) event->GetType(&type);
    return type;
}

HRESULT StatusOf(IMFMediaEvent* event) {
    HRESULT status = E_FAIL;
    if (event) event->GetStatus(&status);
    return status;
}

HRESULT KsGet(IKsControl* control, const GUID& set, ULONG id, long* value, ULONG* flags, ULONG* caps) {
    KSPROPERTY_VIDEOPROCAMP_S data{};
    data.Property.Set = set;
    data.Property.Id = id;
    data.Property.Flags = KSPROPERTY_TYPE_GET;
    ULONG returned = 0;
    const HRESULT hr = control->KsProperty(&data.Property, sizeof data, &data, sizeof data, &returned);
    if (SUCCEEDED(hr)) {
        *value = data.Value;
        *flags = data.Flags;
        if (caps) *caps = data.Capabilities;
    }
    return hr;
}

HRESULT KsSet(IKsControl* control, const GUID& set, ULONG id, long value, ULONG flags) {
    KSPROPERTY_VIDEOPROCAMP_S data{};
    data.Property.Set = set;
    data.Property.Id = id;
    data.Property.Flags = KSPROPERTY_TYPE_SET;
    data.Value = value;
    data.Flags = flags;
    ULONG returned = 0;
    return control->KsProperty(&data.Property, sizeof data, &data, sizeof data, &returned);
}

HRESULT KsRange(IKsControl* control, const GUID& set, ULONG id, long* min, long* max, long* step) {
    KSPROPERTY property{};
    property.Set = set;
    property.Id = id;
    property.Flags = KSPROPERTY_TYPE_BASICSUPPORT;
    struct {
        KSPROPERTY_DESCRIPTION description;
        KSPROPERTY_MEMBERSHEADER header;
        KSPROPERTY_STEPPING_LONG stepping;
    } answer{};
    ULONG returned = 0;
    const HRESULT hr = control->KsProperty(&property, sizeof property, &answer, sizeof answer, &returned);
    if (SUCCEEDED(hr)) {
        *min = answer.stepping.Bounds.SignedMinimum;
        *max = answer.stepping.Bounds.SignedMaximum;
        *step = static_cast<long>(answer.stepping.SteppingDelta);
    }
    return hr;
}

HRESULT KsDefault(IKsControl* control, const GUID& set, ULONG id, long* value) {
    KSPROPERTY property{};
    property.Set = set;
    property.Id = id;
    property.Flags = KSPROPERTY_TYPE_DEFAULTVALUES;
    struct {
        KSPROPERTY_DESCRIPTION description;
        KSPROPERTY_MEMBERSHEADER header;
        LONG value;
    } answer{};
    ULONG returned = 0;
    const HRESULT hr = control->KsProperty(&property, sizeof property, &answer, sizeof answer, &returned);
    if (SUCCEEDED(hr)) *value = answer.value;
    return hr;
}

void RegionStart(IMFMediaSource* source, int* x, int* y) {
    *x = *y = -1;
    ComPtr<IKsControl> control;
    if (FAILED(source->QueryInterface(IID_PPV_ARGS(&control)))) return;
    long pan = 0, tilt = 0, min = 0, panMax = 0, tiltMax = 0, step = 0;
    ULONG flags = 0;
    if (FAILED(KsGet(control.Get(), PROPSETID_VIDCAP_CAMERACONTROL, KSPROPERTY_CAMERACONTROL_PAN, &pan, &flags)) ||
        FAILED(KsGet(control.Get(), PROPSETID_VIDCAP_CAMERACONTROL, KSPROPERTY_CAMERACONTROL_TILT, &tilt, &flags)) ||
        FAILED(KsRange(control.Get(), PROPSETID_VIDCAP_CAMERACONTROL, KSPROPERTY_CAMERACONTROL_PAN, &min, &panMax, &step)) ||
        FAILED(KsRange(control.Get(), PROPSETID_VIDCAP_CAMERACONTROL, KSPROPERTY_CAMERACONTROL_TILT, &min, &tiltMax, &step)))
        return;
    // Pan and tilt count from the centred start, which is the range's maximum.
    *x = static_cast<int>(pan + panMax);
    *y = static_cast<int>(tilt + tiltMax);
}

ColourPicture PatternPicture(int width, int height, int x0, int y0) {
    ColourPicture picture;
    picture.reserve(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.push_back({pattern::Blue(x0 + x, y0 + y), pattern::Green(x0 + x, y0 + y), pattern::Red(x0 + x, y0 + y)});
    return picture;
}

GreyPicture PatternGrey(int width, int height, int x0, int y0) {
    GreyPicture picture;
    picture.reserve(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.push_back(pattern::Grey8(x0 + x, y0 + y));
    return picture;
}

std::vector<BYTE> PatternYuy2(int width, int height, int x0, int y0) {
    std::vector<BYTE> frame;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; x += 2) {
            const int u = x0 + x, v = y0 + y;
            frame.insert(frame.end(), {pattern::Grey8(u, v), pattern::PairU(u, v), pattern::Grey8(u + 1, v),
                                       pattern::PairV(u, v)});
        }
    return frame;
}

std::vector<BYTE> PatternL16(int width, int height, int x0, int y0) {
    std::vector<BYTE> frame;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint16_t level = pattern::Grey16(x0 + x, y0 + y);
            frame.insert(frame.end(), {static_cast<BYTE>(level & 0xFF), static_cast<BYTE>(level >> 8)});
        }
    return frame;
}

}  // namespace vyx::test
