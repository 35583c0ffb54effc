#include "KsProperties.h"

#include <wtypes.h>  // VT_I4
#include <ksmedia.h>

#include <cstring>

#include "ControlCalls.h"

namespace vyx::mf {
namespace {

// The two sets share one layout (KSPROPERTY, Value, Flags, Capabilities).
static_assert(sizeof(KSPROPERTY_VIDEOPROCAMP_S) == sizeof(KSPROPERTY_CAMERACONTROL_S));
using ControlProperty = KSPROPERTY_VIDEOPROCAMP_S;

struct RangeAnswer {
    KSPROPERTY_DESCRIPTION description;
    KSPROPERTY_MEMBERSHEADER header;
    KSPROPERTY_STEPPING_LONG stepping;
};

struct DefaultAnswer {
    KSPROPERTY_DESCRIPTION description;
    KSPROPERTY_MEMBERSHEADER header;
    LONG value;
};

// A property of one set, mapped onto the controls as the pin's interface for that set maps it.
struct Property {
    bool known;
    Control control;
};

struct Range {
    long min = 0, max = 0, step = 0, byDefault = 0, caps = 0;
};

HRESULT RangeOf(CameraControls& controls, Property p, Range* r) {
    return ControlRangeCall(controls, p.known, p.control, &r->min, &r->max, &r->step, &r->byDefault, &r->caps);
}

const HRESULT kSetNotFound = HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
const HRESULT kMoreData = HRESULT_FROM_WIN32(ERROR_MORE_DATA);
const HRESULT kTooSmall = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

// S_OK when `needed` bytes fit; otherwise the size goes back through `returned`.
HRESULT CheckRoom(ULONG dataLength, ULONG needed, ULONG* returned) {
    if (dataLength >= needed) return S_OK;
    *returned = needed;
    return dataLength == 0 ? kMoreData : kTooSmall;
}

KSPROPERTY_DESCRIPTION Description(ULONG totalSize, ULONG memberLists) {
    KSPROPERTY_DESCRIPTION d{};
    d.AccessFlags = KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_SET;
    d.DescriptionSize = totalSize;
    d.PropTypeSet.Set = KSPROPTYPESETID_General;
    d.PropTypeSet.Id = VT_I4;
    d.MembersListCount = memberLists;
    return d;
}

HRESULT Get(CameraControls& controls, Property p, void* data, ULONG dataLength, ULONG* returned) {
    HRESULT hr = CheckRoom(dataLength, sizeof(ControlProperty), returned);
    if (FAILED(hr)) return hr;
    long value = 0, flags = 0;
    hr = ControlGetCall(controls, p.known, p.control, &value, &flags);
    if (FAILED(hr)) return hr;
    Range range;
    const long caps = SUCCEEDED(RangeOf(controls, p, &range)) ? range.caps : 0;
    auto* answer = static_cast<ControlProperty*>(data);
    answer->Value = value;
    answer->Flags = static_cast<ULONG>(flags);
    answer->Capabilities = static_cast<ULONG>(caps);
    *returned = sizeof(ControlProperty);
    return S_OK;
}

HRESULT Set(CameraControls& controls, Property p, const void* data, ULONG dataLength, ULONG* returned) {
    HRESULT hr = CheckRoom(dataLength, sizeof(ControlProperty), returned);
    if (FAILED(hr)) return hr;
    const auto* request = static_cast<const ControlProperty*>(data);
    hr = ControlSetCall(controls, p.known, p.control, request->Value, static_cast<long>(request->Flags));
    if (SUCCEEDED(hr)) *returned = 0;
    return hr;
}

HRESULT BasicSupport(CameraControls& controls, Property p, void* data, ULONG dataLength, ULONG* returned) {
    Range range;
    HRESULT hr = RangeOf(controls, p, &range);
    if (FAILED(hr)) return hr;
    // Asked for the access flags alone, or for the description without its members.
    if (dataLength == sizeof(ULONG)) {
        *static_cast<ULONG*>(data) = KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_SET;
        *returned = sizeof(ULONG);
        return S_OK;
    }
    if (dataLength >= sizeof(KSPROPERTY_DESCRIPTION) && dataLength < sizeof(RangeAnswer)) {
        *static_cast<KSPROPERTY_DESCRIPTION*>(data) = Description(sizeof(RangeAnswer), 1);
        *returned = sizeof(KSPROPERTY_DESCRIPTION);
        return S_OK;
    }
    if (FAILED(hr = CheckRoom(dataLength, sizeof(RangeAnswer), returned))) return hr;
    RangeAnswer answer{};
    answer.description = Description(sizeof(RangeAnswer), 1);
    answer.header.MembersFlags = KSPROPERTY_MEMBER_RANGES;
    answer.header.MembersSize = sizeof(KSPROPERTY_STEPPING_LONG);
    answer.header.MembersCount = 1;
    answer.stepping.SteppingDelta = static_cast<ULONG>(range.step);
    answer.stepping.Bounds.SignedMinimum = range.min;
    answer.stepping.Bounds.SignedMaximum = range.max;
    std::memcpy(data, &answer, sizeof answer);
    *returned = sizeof answer;
    return S_OK;
}

HRESULT DefaultValues(CameraControls& controls, Property p, void* data, ULONG dataLength, ULONG* returned) {
    Range range;
    HRESULT hr = RangeOf(controls, p, &range);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = CheckRoom(dataLength, sizeof(DefaultAnswer), returned))) return hr;
    DefaultAnswer answer{};
    answer.description = Description(sizeof(DefaultAnswer), 1);
    answer.header.MembersFlags = KSPROPERTY_MEMBER_VALUES;
    answer.header.MembersSize = sizeof(LONG);
    answer.header.MembersCount = 1;
    answer.header.Flags = KSPROPERTY_MEMBER_FLAG_DEFAULT;
    answer.value = range.byDefault;
    std::memcpy(data, &answer, sizeof answer);
    *returned = sizeof answer;
    return S_OK;
}

}  // namespace

HRESULT HandleKsProperty(CameraControls& controls, const KSPROPERTY* property, ULONG propertyLength, void* data,
                         ULONG dataLength, ULONG* returned) {
    if (!property || !returned) return E_POINTER;
    if (propertyLength < sizeof(KSPROPERTY)) return E_INVALIDARG;
    if (!data && dataLength != 0) return E_POINTER;
    *returned = 0;
    // The sets number their properties as the two interfaces do.
    Property p{};
    const long id = static_cast<long>(property->Id);
    if (IsEqualGUID(property->Set, PROPSETID_VIDCAP_VIDEOPROCAMP))
        p.known = VideoProcAmpControl(id, &p.control);
    else if (IsEqualGUID(property->Set, PROPSETID_VIDCAP_CAMERACONTROL))
        p.known = CameraControlControl(id, &p.control);
    else
        return kSetNotFound;
    switch (property->Flags & ~KSPROPERTY_TYPE_TOPOLOGY) {
        case KSPROPERTY_TYPE_GET: return Get(controls, p, data, dataLength, returned);
        case KSPROPERTY_TYPE_SET: return Set(controls, p, data, dataLength, returned);
        case KSPROPERTY_TYPE_BASICSUPPORT: return BasicSupport(controls, p, data, dataLength, returned);
        case KSPROPERTY_TYPE_DEFAULTVALUES: return DefaultValues(controls, p, data, dataLength, returned);
        default: return E_INVALIDARG;
    }
}

}  // namespace vyx::mf
