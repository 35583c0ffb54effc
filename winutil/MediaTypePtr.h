#pragma once
// Owner of an AM_MEDIA_TYPE in task memory, format block included, as GetFormat and
// GetStreamCaps hand them out; also the accessors for its video header.
#include <windows.h>
#include <dshow.h>

namespace vyxcap {

class MediaTypePtr {
public:
    MediaTypePtr() = default;
    explicit MediaTypePtr(AM_MEDIA_TYPE* owned) : m_type(owned) {}
    MediaTypePtr(const MediaTypePtr&) = delete;
    MediaTypePtr& operator=(const MediaTypePtr&) = delete;
    MediaTypePtr(MediaTypePtr&& other) noexcept : m_type(other.m_type) { other.m_type = nullptr; }
    MediaTypePtr& operator=(MediaTypePtr&& other) noexcept;
    ~MediaTypePtr() { Reset(); }

    // Deep copy into fresh task memory; empty on allocation failure.
    static MediaTypePtr Copy(const AM_MEDIA_TYPE& source);

    AM_MEDIA_TYPE* get() const { return m_type; }
    AM_MEDIA_TYPE* operator->() const { return m_type; }
    explicit operator bool() const { return m_type != nullptr; }
    // Frees what is held and returns the slot for an out-parameter.
    AM_MEDIA_TYPE** Receive();
    void Reset();

private:
    AM_MEDIA_TYPE* m_type = nullptr;
};

// Frees the format block and the held interface of a media type that lives elsewhere.
void FreeMediaTypeContents(AM_MEDIA_TYPE& type);

// The bitmap header of a FORMAT_VideoInfo or FORMAT_VideoInfo2 type, or null when the
// type has neither or its block is too short.
BITMAPINFOHEADER* BitmapHeader(const AM_MEDIA_TYPE& type);
// The frame interval field of the same two layouts, or null.
REFERENCE_TIME* AvgTimePerFrame(const AM_MEDIA_TYPE& type);

}  // namespace vyxcap
