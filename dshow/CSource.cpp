#include "CSource.h"

#include <vfwmsgs.h>

#include <cstring>
#include <new>

#include "CAutoLock.h"
#include "CSourceStream.h"

CSource::CSource(LPCTSTR pName, LPUNKNOWN lpunk, CLSID clsid, HRESULT* phr)
    : CBaseFilter(pName, lpunk, &m_cStateLock, clsid, phr), m_iPins(0), m_paStreams(nullptr)
{
}

CSource::CSource(LPCTSTR pName, LPUNKNOWN lpunk, CLSID clsid)
    : CBaseFilter(pName, lpunk, &m_cStateLock, clsid), m_iPins(0), m_paStreams(nullptr)
{
}

CSource::~CSource()
{
    // Each pin's destructor takes it out of the array.
    while (m_iPins != 0)
        delete m_paStreams[m_iPins - 1];
    delete[] m_paStreams;
}

int CSource::GetPinCount()
{
    CAutoLock lock(&m_cStateLock);
    return m_iPins;
}

CBasePin* CSource::GetPin(int n)
{
    CAutoLock lock(&m_cStateLock);
    if (n < 0 || n >= m_iPins)
        return nullptr;
    return m_paStreams[n];
}

HRESULT CSource::AddPin(CSourceStream* pStream)
{
    CAutoLock lock(&m_cStateLock);
    auto** streams = new (std::nothrow) CSourceStream*[m_iPins + 1];
    if (streams == nullptr)
        return E_OUTOFMEMORY;
    if (m_iPins != 0)
        std::memcpy(streams, m_paStreams, m_iPins * sizeof(CSourceStream*));
    streams[m_iPins] = pStream;
    delete[] m_paStreams;
    m_paStreams = streams;
    ++m_iPins;
    IncrementPinVersion();
    return S_OK;
}

HRESULT CSource::RemovePin(CSourceStream* pStream)
{
    CAutoLock lock(&m_cStateLock);
    for (int i = 0; i < m_iPins; ++i) {
        if (m_paStreams[i] != pStream)
            continue;
        if (m_iPins == 1) {
            delete[] m_paStreams;
            m_paStreams = nullptr;
        } else {
            std::memmove(&m_paStreams[i], &m_paStreams[i + 1], (m_iPins - i - 1) * sizeof(CSourceStream*));
        }
        --m_iPins;
        IncrementPinVersion();
        return S_OK;
    }
    return S_FALSE;
}
