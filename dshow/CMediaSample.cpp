#include "CMediaSample.h"

#include <vfwmsgs.h>

#include "CMemAllocator.h"
#include "MediaTypes.h"

CMediaSample::CMediaSample(CMemAllocator* pAllocator, BYTE* pBuffer, LONG cbBuffer)
    : m_pAllocator(pAllocator), m_pBuffer(pBuffer), m_cbBuffer(cbBuffer)
{
}

CMediaSample::~CMediaSample()
{
    DeleteMediaType(m_pMediaType);
}

void CMediaSample::Reset()
{
    m_cRef = 1;
    m_lActual = 0;
    m_bTimeValid = m_bStopValid = m_bMediaTimeValid = false;
    m_bSyncPoint = m_bPreroll = m_bDiscontinuity = false;
    DeleteMediaType(m_pMediaType);
    m_pMediaType = nullptr;
}

STDMETHODIMP CMediaSample::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMediaSample) {
        *ppv = static_cast<IMediaSample*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CMediaSample::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) CMediaSample::Release()
{
    const LONG count = InterlockedDecrement(&m_cRef);
    if (count == 0)
        m_pAllocator->Return(this);
    return static_cast<ULONG>(count);
}

STDMETHODIMP CMediaSample::GetPointer(BYTE** ppBuffer)
{
    if (ppBuffer == nullptr)
        return E_POINTER;
    *ppBuffer = m_pBuffer;
    return S_OK;
}

STDMETHODIMP_(LONG) CMediaSample::GetSize()
{
    return m_cbBuffer;
}

STDMETHODIMP CMediaSample::GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd)
{
    if (pTimeStart == nullptr || pTimeEnd == nullptr)
        return E_POINTER;
    if (!m_bTimeValid)
        return VFW_E_SAMPLE_TIME_NOT_SET;
    *pTimeStart = m_Start;
    if (!m_bStopValid) {
        *pTimeEnd = m_Start + 1;
        return VFW_S_NO_STOP_TIME;
    }
    *pTimeEnd = m_End;
    return S_OK;
}

STDMETHODIMP CMediaSample::SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd)
{
    // No start clears both times; a start alone leaves the stop time unset.
    m_bTimeValid = pTimeStart != nullptr;
    m_bStopValid = m_bTimeValid && pTimeEnd != nullptr;
    if (m_bTimeValid)
        m_Start = *pTimeStart;
    if (m_bStopValid)
        m_End = *pTimeEnd;
    return S_OK;
}

STDMETHODIMP CMediaSample::IsSyncPoint()
{
    return m_bSyncPoint ? S_OK : S_FALSE;
}

STDMETHODIMP CMediaSample::SetSyncPoint(BOOL bIsSyncPoint)
{
    m_bSyncPoint = bIsSyncPoint != FALSE;
    return S_OK;
}

STDMETHODIMP CMediaSample::IsPreroll()
{
    return m_bPreroll ? S_OK : S_FALSE;
}

STDMETHODIMP CMediaSample::SetPreroll(BOOL bIsPreroll)
{
    m_bPreroll = bIsPreroll != FALSE;
    return S_OK;
}

STDMETHODIMP_(LONG) CMediaSample::GetActualDataLength()
{
    return m_lActual;
}

STDMETHODIMP CMediaSample::SetActualDataLength(LONG lLen)
{
    if (lLen < 0 || lLen > m_cbBuffer)
        return VFW_E_BUFFER_OVERFLOW;
    m_lActual = lLen;
    return S_OK;
}

STDMETHODIMP CMediaSample::GetMediaType(AM_MEDIA_TYPE** ppMediaType)
{
    if (ppMediaType == nullptr)
        return E_POINTER;
    *ppMediaType = nullptr;
    if (m_pMediaType == nullptr)
        return S_FALSE;
    *ppMediaType = CreateMediaType(m_pMediaType);
    return *ppMediaType != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CMediaSample::SetMediaType(AM_MEDIA_TYPE* pMediaType)
{
    AM_MEDIA_TYPE* copy = nullptr;
    if (pMediaType != nullptr) {
        copy = CreateMediaType(pMediaType);
        if (copy == nullptr)
            return E_OUTOFMEMORY;
    }
    DeleteMediaType(m_pMediaType);
    m_pMediaType = copy;
    return S_OK;
}

STDMETHODIMP CMediaSample::IsDiscontinuity()
{
    return m_bDiscontinuity ? S_OK : S_FALSE;
}

STDMETHODIMP CMediaSample::SetDiscontinuity(BOOL bDiscontinuity)
{
    m_bDiscontinuity = bDiscontinuity != FALSE;
    return S_OK;
}

STDMETHODIMP CMediaSample::GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd)
{
    if (pTimeStart == nullptr || pTimeEnd == nullptr)
        return E_POINTER;
    if (!m_bMediaTimeValid)
        return VFW_E_MEDIA_TIME_NOT_SET;
    *pTimeStart = m_MediaStart;
    *pTimeEnd = m_MediaEnd;
    return S_OK;
}

STDMETHODIMP CMediaSample::SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd)
{
    if (pTimeStart == nullptr) {
        m_bMediaTimeValid = false;
        return S_OK;
    }
    if (pTimeEnd == nullptr)
        return E_POINTER;
    m_MediaStart = *pTimeStart;
    m_MediaEnd = *pTimeEnd;
    m_bMediaTimeValid = true;
    return S_OK;
}
