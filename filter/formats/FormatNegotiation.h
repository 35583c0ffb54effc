#pragma once
// The capture pin's format negotiation without COM: the types it offers, its verdict on a
// proposed type, the entry a connection or a format choice selects, and the capabilities
// and frame-rate lists it reports. The pin adapts its COM interfaces to this class and
// configures the camera itself.
//
// Threads: the pin calls it on application threads, under the locks CVCameraStream.h
// names. The configuration it reads and records is the pin's PinState, which the
// ICameraInstance setters change as well; the format list is fixed after BuildFormats.
// The type version is atomic: media-type enumerators read it on any thread.
#include <windows.h>
#include <strmif.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "FormatList.h"
#include "PinState.h"
#include "StreamCaps.h"
#include "streams.h"

namespace vyx {

// What a type proposed for a connection resolves to.
struct ConnectionChoice {
    FormatEntry entry{};
    LONG width = 0;
    LONG height = 0;
    GUID subtype = GUID_NULL;
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

// The configuration and the lock as a SetFormat found them, put back when its reconnection fails.
struct SavedFormat {
    FormatEntry entry{};
    LONG width = 0;
    LONG height = 0;
    GUID subtype = GUID_NULL;
    LONGLONG requestedFrameInterval = 0;
    bool locked = false;
    bool intervalRequested = false;
};

class FormatNegotiation {
public:
    // `resolutions` is the model's list and outlives the object. An obs host is offered the
    // preferred entry alone.
    FormatNegotiation(PinState& state, const Resolution* resolutions, std::int32_t resolutionCount, bool obsHost);

    void BuildFormats(const CameraProp& prop);

    // Capabilities reported by IAMStreamConfig and indexes IAMVideoControl accepts.
    std::int32_t CapabilityCount() const;

    // GetMediaType: S_OK, VFW_S_NO_MORE_ITEMS past the offered types, E_INVALIDARG for a
    // negative position, E_POINTER, or the builder's error.
    HRESULT OfferedType(int position, CMediaType* type) const;
    // CheckMediaType of a pin whose camera is open: S_OK or E_INVALIDARG.
    HRESULT Check(const AM_MEDIA_TYPE& type) const;
    // SetMediaType: E_INVALIDARG for a type that resolves to no entry.
    HRESULT MatchConnection(const AM_MEDIA_TYPE* type, ConnectionChoice* choice) const;
    // After the camera took the configuration and the connection stored the type.
    void RecordConnection(const ConnectionChoice& choice);

    // GetStreamCaps: E_INVALIDARG outside 0..CapabilityCount()-1, VFW_S_NO_MORE_ITEMS for an
    // obs host without a preferred entry.
    HRESULT Capability(int index, FrameRateRange range, CMediaType* type, VIDEO_STREAM_CONFIG_CAPS* caps) const;
    // GetFormat: the current configuration, or the preferred entry for an unlocked obs host.
    HRESULT CurrentFormat(CMediaType* type) const;
    // The current configuration with the requested frame interval, for a reconnection.
    HRESULT ConfiguredType(CMediaType* type) const;
    // SetFormat: VFW_E_INVALIDMEDIATYPE for a null type or one of no listed subtype and size.
    HRESULT ChooseFormat(const AM_MEDIA_TYPE* type, FormatChoice* choice) const;
    // Makes a choice the configuration and locks negotiation to it until streaming stops;
    // enumerators made before report that they are out of sync.
    void LockTo(const FormatChoice& choice);
    SavedFormat Save() const;
    // Puts back what Save found; enumerators made since report that they are out of sync.
    void Restore(const SavedFormat& saved);
    LONG TypeVersion() const { return m_typeVersion; }

    // GetFrameRateList: the listed durations inside the capability's interval range.
    HRESULT FrameDurations(LONG index, FrameRateRange range, std::vector<LONGLONG>* durations) const;

private:
    HRESULT BuildMediaType(const FormatEntry& entry, CMediaType* type) const;
    // The entry's type, carrying the requested frame interval when there is one.
    HRESULT BuildAtRequestedInterval(const FormatEntry& entry, CMediaType* type) const;
    bool ResolveMediaType(const AM_MEDIA_TYPE* type, FormatEntry* resolved) const;
    bool ResolveFormatSelection(const AM_MEDIA_TYPE* type, FormatEntry* resolved) const;
    FormatEntry CurrentEntry() const;
    void RecordConfiguration(const FormatEntry& entry, LONG width, LONG height, const GUID& subtype);

    PinState& m_state;
    FormatList m_formats;
    const bool m_obsHost;
    std::atomic<LONG> m_typeVersion{1};
};

}  // namespace vyx
