#include "CSourceStream.h"

#include <evcode.h>
#include <vfwmsgs.h>

#include "CAutoLock.h"
#include "CSource.h"

CSourceStream::CSourceStream(LPCTSTR pObjectName, HRESULT* phr, CSource* pms, LPCWSTR pName)
    : CAMThread(phr), CBaseOutputPin(pObjectName, pms, pms->pStateLock(), phr, pName), m_pFilter(pms)
{
    HRESULT hr = m_pFilter->AddPin(this);
    if (FAILED(hr) && phr != nullptr)
        *phr = hr;
}

CSourceStream::~CSourceStream()
{
    m_pFilter->RemovePin(this);
}

HRESULT CSourceStream::Active()
{
    if (!IsConnected())
        return S_OK;
    if (ThreadExists())
        return S_FALSE;
    HRESULT hr = CBaseOutputPin::Active();
    if (FAILED(hr))
        return hr;
    if (!Create()) {
        CBaseOutputPin::Inactive();
        return E_FAIL;
    }
    hr = Init();
    if (SUCCEEDED(hr))
        hr = Pause();
    if (FAILED(hr)) {
        // A worker that failed its start has ended already; one that did not is told to.
        Exit();
        Close();
        CBaseOutputPin::Inactive();
        return hr;
    }
    return S_OK;
}

HRESULT CSourceStream::Inactive()
{
    if (!IsConnected())
        return S_OK;
    // Decommitting first releases a worker waiting for an empty sample.
    HRESULT hr = CBaseOutputPin::Inactive();
    if (ThreadExists()) {
        Stop();
        Exit();
        Close();
    }
    return hr;
}

HRESULT CSourceStream::Run(REFERENCE_TIME tStart)
{
    HRESULT hr = CBasePin::Run(tStart);
    // A source that delivers while paused is already in its loop.
    if (FAILED(hr) || DeliversWhilePaused() || !ThreadExists())
        return hr;
    return Run();
}

HRESULT CSourceStream::CheckMediaType(const CMediaType* pMediaType)
{
    CAutoLock lock(m_pFilter->pStateLock());
    CMediaType mine;
    if (FAILED(GetMediaType(&mine)))
        return E_FAIL;
    return mine == *pMediaType ? S_OK : E_FAIL;
}

HRESULT CSourceStream::GetMediaType(int iPosition, CMediaType* pMediaType)
{
    CAutoLock lock(m_pFilter->pStateLock());
    if (iPosition < 0)
        return E_INVALIDARG;
    if (iPosition > 0)
        return VFW_S_NO_MORE_ITEMS;
    return GetMediaType(pMediaType);
}

HRESULT CSourceStream::GetMediaType(CMediaType*)
{
    return E_UNEXPECTED;
}

DWORD CSourceStream::ThreadProc()
{
    Command command;
    while ((command = GetRequest()) != CMD_INIT)
        Reply(static_cast<DWORD>(E_UNEXPECTED));

    HRESULT hr = OnThreadCreate();
    if (FAILED(hr)) {
        OnThreadDestroy();
        Reply(static_cast<DWORD>(hr));
        return 1;
    }
    Reply(S_OK);

    do {
        command = GetRequest();
        switch (command) {
        case CMD_EXIT:
        case CMD_STOP:
            Reply(S_OK);
            break;
        case CMD_PAUSE:
        case CMD_RUN:
            Reply(S_OK);
            if (command == CMD_RUN || DeliversWhilePaused())
                DoBufferProcessingLoop();
            break;
        default:
            Reply(static_cast<DWORD>(E_NOTIMPL));
            break;
        }
    } while (command != CMD_EXIT);

    OnThreadDestroy();
    return 0;
}

HRESULT CSourceStream::DoBufferProcessingLoop()
{
    OnThreadStartPlay();
    Command command;
    for (;;) {
        while (!CheckRequest(&command)) {
            Microsoft::WRL::ComPtr<IMediaSample> sample;
            HRESULT hr = GetDeliveryBuffer(sample.GetAddressOf(), nullptr, nullptr, 0);
            if (FAILED(hr)) {
                // The allocator is decommitted while the filter stops: wait for the command
                // that follows rather than spin.
                WaitForSingleObject(GetRequestHandle(), 1);
                continue;
            }
            hr = FillBuffer(sample.Get());
            if (hr == VFW_E_STATE_CHANGED) {
                // The fill gave way to a state change: wait briefly for its command.
                sample.Reset();
                WaitForSingleObject(GetRequestHandle(), 10);
                continue;
            }
            if (hr == S_FALSE) {
                sample.Reset();
                DeliverEndOfStream();
                return S_OK;
            }
            if (FAILED(hr)) {
                sample.Reset();
                DeliverEndOfStream();
                m_pFilter->NotifyEvent(EC_ERRORABORT, hr, 0);
                return hr;
            }
            hr = Deliver(sample.Get());
            // A sample downstream refused was never delivered: the next run takes its time.
            if (FAILED(hr))
                OnSampleNotDelivered(sample.Get());
            // Downstream wants no more (S_FALSE) or failed: this run is over.
            if (hr != S_OK)
                return S_OK;
        }
        // Stop and exit end the loop and stay pending for ThreadProc to answer; every other
        // command is answered here, exactly once.
        if (command == CMD_STOP || command == CMD_EXIT)
            return S_FALSE;
        if (command != CMD_RUN && command != CMD_PAUSE) {
            Reply(static_cast<DWORD>(E_UNEXPECTED));
            continue;
        }
        Reply(S_OK);
        // A pause ends a live source's loop; a run that finds it still going (a pause it has
        // not seen) starts playing again, as a run after the loop's end would.
        if (!DeliversWhilePaused()) {
            if (command == CMD_PAUSE)
                return S_OK;
            OnThreadStartPlay();
        }
    }
}
