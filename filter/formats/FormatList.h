#pragma once
// The pin's format list: one entry per offered combination of output format, bin factor
// and resolution-list entry, in offering order. Built once when the camera opens and
// never changed, so it needs no lock.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "ResolutionLadder.h"
#include "VyxonCamera.h"

namespace vyx {

struct FormatEntry {
    std::int32_t outputFormatIndex;  // into the output format table
    std::int32_t bin;
    std::int32_t resolutionIndex;    // into the model's resolution list
    std::int32_t imageFormat;        // ImageFormat to set on the camera
    friend bool operator==(const FormatEntry&, const FormatEntry&) = default;
};

class FormatList {
public:
    FormatList() = default;
    FormatList(const Resolution* resolutions, std::int32_t resolutionCount);

    // Appends the camera's offer: its output formats in offering order (those whose image
    // format the camera lists), each at bin 1 over the whole resolution list and at every
    // larger bin with the binned full sensor, dropping sizes already offered for the
    // same output format.
    void Build(const CameraProp& prop);

    std::int32_t Size() const { return static_cast<std::int32_t>(m_entries.size()); }
    const FormatEntry& At(std::int32_t index) const { return m_entries[static_cast<std::size_t>(index)]; }

    // Frame size of an entry; {0, 0} for a resolution index outside the list.
    Resolution FrameSize(const FormatEntry& entry) const;

    // First entry with this subtype and size (and bit count, when checkBitCount), or -1.
    std::int32_t Find(const GUID& subtype, LONG width, LONG height, bool checkBitCount, WORD bitCount) const;

    // Whether any entry has this subtype.
    bool Offers(const GUID& subtype) const;

    // The entry an obs host is offered alone: bin 1, full sensor, RGB24 on a colour
    // camera and "Y800" on a monochrome one; -1 when there is none.
    std::int32_t FindPreferred(bool color) const;

private:
    const Resolution* m_resolutions = nullptr;
    std::int32_t m_resolutionCount = 0;
    std::vector<FormatEntry> m_entries;
};

}  // namespace vyx
