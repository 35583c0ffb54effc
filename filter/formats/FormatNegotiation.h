#pragma once
// The capture pin's format negotiation as DirectShow sees it: the media types it offers,
// its verdict on a proposed type, the entry a connection or a format choice selects, and
// the capabilities and frame-rate lists it reports. Every decision is made over a view of
// the capture core (its configuration, format list and camera colour), which the pin takes
// under the core's lock; a choice is written back into the configuration the same way.
//
// Threads: any application thread, always inside CaptureCore::Read or Configure. The type
// version is atomic: media-type enumerators read it on any thread.
#include <windows.h>
#include <strmif.h>

#include <atomic>
#include <vector>

#include "FormatList.h"
#include "StreamCaps.h"
#include "StreamConfiguration.h"
#include "streams.h"

namespace vyx {

// What a type proposed for a connection resolves to.
struct ConnectionChoice {
    FormatEntry entry{};
    LONG width = 0;
    LONG height = 0;
    REFERENCE_TIME interval = 0;     // recorded as the requested frame interval
    bool intervalRequested = false;  // the camera's frame rate is to be limited to `interval`
    // The type the connection stores: the entry's, with the peer's frame interval, so
    // buffers and sample lengths always match the real frame whatever size the peer gave.
    CMediaType type;
};

// A format chosen through IAMStreamConfig::SetFormat.
struct FormatChoice {
    FormatEntry entry{};
    bool intervalRequested = false;
    CMediaType type;  // the entry's type with the chosen frame interval
};

class FormatNegotiation {
public:
    // An obs host is offered the preferred entry alone.
    explicit FormatNegotiation(bool obsHost) : m_obsHost(obsHost) {}

    // Capabilities reported by IAMStreamConfig and indexes IAMVideoControl accepts.
    std::int32_t CapabilityCount(const CoreView& view) const;

    // GetMediaType: S_OK, VFW_S_NO_MORE_ITEMS past the offered types, E_INVALIDARG for a
    // negative position, E_POINTER, or the builder's error.
    HRESULT OfferedType(const CoreView& view, int position, CMediaType* type) const;
    // CheckMediaType of a pin whose camera is open: S_OK or E_INVALIDARG.
    HRESULT Check(const CoreView& view, const AM_MEDIA_TYPE& type) const;
    // SetMediaType: E_INVALIDARG for a type that resolves to no entry.
    HRESULT MatchConnection(const CoreView& view, const AM_MEDIA_TYPE* type, ConnectionChoice* choice) const;

    // GetStreamCaps: E_INVALIDARG outside 0..CapabilityCount()-1, VFW_S_NO_MORE_ITEMS for an
    // obs host without a preferred entry.
    HRESULT Capability(const CoreView& view, int index, FrameRateRange range, CMediaType* type,
                       VIDEO_STREAM_CONFIG_CAPS* caps) const;
    // GetFormat: the current configuration, or the preferred entry for an unlocked obs host.
    HRESULT CurrentFormat(const CoreView& view, CMediaType* type) const;
    // The current configuration with the requested frame interval, for a reconnection.
    HRESULT ConfiguredType(const CoreView& view, CMediaType* type) const;
    // SetFormat: VFW_E_INVALIDMEDIATYPE for a null type or one of no listed subtype and size.
    HRESULT ChooseFormat(const CoreView& view, const AM_MEDIA_TYPE* type, FormatChoice* choice) const;
    // Makes a choice the configuration and locks negotiation to it until streaming stops;
    // enumerators made before report that they are out of sync.
    void LockTo(const FormatChoice& choice, StreamConfiguration* config);
    // Puts back a configuration saved before LockTo; enumerators made since report that
    // they are out of sync.
    void Restore(const StreamConfiguration& saved, StreamConfiguration* config);
    LONG TypeVersion() const { return m_typeVersion; }

    // GetFrameRateList: the listed durations inside the capability's interval range.
    HRESULT FrameDurations(const CoreView& view, LONG index, FrameRateRange range,
                           std::vector<LONGLONG>* durations) const;
    // GetMaxAvailableFrameRate: the capability's MinFrameInterval, for the same indexes.
    HRESULT FastestInterval(const CoreView& view, LONG index, FrameRateRange range, LONGLONG* interval) const;

private:
    HRESULT BuildMediaType(const CoreView& view, const FormatEntry& entry, CMediaType* type) const;
    // The entry's type, carrying the requested frame interval when there is one.
    HRESULT BuildAtRequestedInterval(const CoreView& view, const FormatEntry& entry, CMediaType* type) const;
    bool ResolveMediaType(const CoreView& view, const AM_MEDIA_TYPE* type, FormatEntry* resolved) const;
    bool ResolveFormatSelection(const CoreView& view, const AM_MEDIA_TYPE* type, FormatEntry* resolved) const;

    const bool m_obsHost;
    std::atomic<LONG> m_typeVersion{1};
};

}  // namespace vyx
