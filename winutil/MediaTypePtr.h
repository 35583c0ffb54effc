#pragma once
// Owner of an AM_MEDIA_TYPE in task memory, format block included, as GetFormat,
// GetStreamCaps and the type enumerators hand them out; also the accessors for its video
// header.
#include <windows.h>
#include <dshow.h>

#include "UniqueResource.h"

namespace vyx::win {

// The one deep copy and free of AM_MEDIA_TYPE contents; our DirectShow framework's
// CopyMediaType, FreeMediaType, CreateMediaType and DeleteMediaType are these.
//
// Copies `source` into `target`, format block (into task memory) and held interface (one more
// reference) included; the target's previous contents are not freed. A length without a
// block, or a block without a length, is no format. E_OUTOFMEMORY when the block cannot be
// allocated: the target then has no format and no interface.
HRESULT CopyMediaTypeContents(AM_MEDIA_TYPE& target, const AM_MEDIA_TYPE& source);
// Frees the format block and the held interface of a media type that lives elsewhere.
void FreeMediaTypeContents(AM_MEDIA_TYPE& type);

struct TaskMediaTypeTraits {
    static AM_MEDIA_TYPE* Invalid() { return nullptr; }
    static void Close(AM_MEDIA_TYPE* type)
    {
        FreeMediaTypeContents(*type);
        ::CoTaskMemFree(type);
    }
};

class MediaTypePtr : public UniqueResource<AM_MEDIA_TYPE*, TaskMediaTypeTraits> {
public:
    using UniqueResource::UniqueResource;

    // Deep copy into fresh task memory; empty on allocation failure.
    static MediaTypePtr Copy(const AM_MEDIA_TYPE& source);

    AM_MEDIA_TYPE* operator->() const { return Get(); }
};

// The bitmap header of a FORMAT_VideoInfo or FORMAT_VideoInfo2 type, or null when the
// type has neither or its block is too short.
BITMAPINFOHEADER* BitmapHeader(const AM_MEDIA_TYPE& type);
// The frame interval field of the same two layouts, or null.
REFERENCE_TIME* AvgTimePerFrame(const AM_MEDIA_TYPE& type);
// The whole header of a FORMAT_VideoInfo type, or null.
VIDEOINFOHEADER* VideoInfoHeader(const AM_MEDIA_TYPE& type);

}  // namespace vyx::win
