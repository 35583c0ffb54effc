#pragma once
// Task-memory helpers for AM_MEDIA_TYPE, as DirectShow code expects them.
#include <windows.h>
#include <strmif.h>

// Deep copy into task memory; null when pSrc is null or memory runs out. Free with DeleteMediaType.
AM_MEDIA_TYPE* WINAPI CreateMediaType(const AM_MEDIA_TYPE* pSrc);
// Frees the format block and the structure itself (task memory). Null is ignored.
void WINAPI DeleteMediaType(AM_MEDIA_TYPE* pmt);
// Frees the format block and the pUnk reference, leaving the structure with no format.
void WINAPI FreeMediaType(AM_MEDIA_TYPE& mt);
// Deep copy; the target's previous contents are not freed. E_POINTER for null arguments,
// E_OUTOFMEMORY when the format block cannot be copied (the target then has no format).
HRESULT WINAPI CopyMediaType(AM_MEDIA_TYPE* pmtTarget, const AM_MEDIA_TYPE* pmtSource);
// An empty type: no major type, fixed-size samples of 1 byte, no format.
void WINAPI InitMediaType(AM_MEDIA_TYPE* pmt);
// A task-memory copy of a wide string, for QueryId and the like.
HRESULT WINAPI AMGetWideString(LPCWSTR psz, LPWSTR* ppszReturn);
