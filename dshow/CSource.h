#pragma once
// A source filter whose pins are CSourceStreams. Pins enter the pin array when they are
// constructed (AddPin) and leave it when they are destroyed (RemovePin); the filter deletes
// the pins still in the array when it is destroyed.
//
// Threads: m_cStateLock is the filter's state lock (m_pLock of CBaseFilter); it guards
// m_paStreams and m_iPins, which change only while pins are created or destroyed.
#include <windows.h>
#include <strmif.h>

#include "CBaseFilter.h"
#include "CCritSec.h"

class CSourceStream;

class CSource : public CBaseFilter {
public:
    CSource(LPCTSTR pName, LPUNKNOWN lpunk, CLSID clsid, HRESULT* phr);
    CSource(LPCTSTR pName, LPUNKNOWN lpunk, CLSID clsid);
    ~CSource() override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;  // null out of range

    CCritSec* pStateLock() { return &m_cStateLock; }

    // AddPin replaces m_paStreams with a new array one longer (deleting the old one with
    // delete[]); E_OUTOFMEMORY when it cannot. RemovePin: S_FALSE when the pin is not there.
    HRESULT AddPin(CSourceStream* pStream);
    HRESULT RemovePin(CSourceStream* pStream);

protected:
    int m_iPins;
    CSourceStream** m_paStreams;  // new[]-allocated, owned
    CCritSec m_cStateLock;
};
