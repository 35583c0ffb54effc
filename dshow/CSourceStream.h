#pragma once
// The output pin of a CSource with its own streaming thread. While the filter is paused or
// running the thread loops: take an empty sample from the allocator, FillBuffer, Deliver.
// FillBuffer's S_FALSE ends the stream (end-of-stream downstream); a failure also reports
// EC_ERRORABORT with its code to the graph and ends the run until the next state change.
// VFW_E_STATE_CHANGED from FillBuffer is no failure: the fill gave way to a state change,
// the sample is dropped and the command that follows is answered.
// A live source (DeliversWhilePaused false) starts its loop only when the filter runs; how
// it stops delivering on a pause from running is its own (the worker may be held in a
// downstream Receive, so the framework sends it no command for that).
//
// Threads: the filter's state-changing thread calls Active and Inactive, which create the
// streaming thread and command it (Init, Pause, Run, Stop, Exit) through CallWorker and
// wait for it; they never hold the state lock while waiting. The streaming thread runs
// OnThreadCreate, OnThreadStartPlay, FillBuffer and OnThreadDestroy and calls downstream
// without any lock of the framework. Each activation starts the thread exactly once and each
// deactivation (or the filter's last release) ends and joins it.
#include <windows.h>

#include <strmif.h>

#include "CAMThread.h"
#include "CBaseOutputPin.h"

class CSource;

class CSourceStream : public CAMThread, public CBaseOutputPin {
public:
    // Adds the pin to pms's pin array; *phr receives a failure if that is impossible.
    CSourceStream(LPCTSTR pObjectName, HRESULT* phr, CSource* pms, LPCWSTR pName);
    ~CSourceStream() override;  // removes the pin from its filter's array

    enum Command { CMD_INIT, CMD_PAUSE, CMD_RUN, CMD_STOP, CMD_EXIT };
    HRESULT Init() { return static_cast<HRESULT>(CallWorker(CMD_INIT)); }
    HRESULT Exit() { return static_cast<HRESULT>(CallWorker(CMD_EXIT)); }
    HRESULT Run() { return static_cast<HRESULT>(CallWorker(CMD_RUN)); }
    HRESULT Pause() { return static_cast<HRESULT>(CallWorker(CMD_PAUSE)); }
    HRESULT Stop() { return static_cast<HRESULT>(CallWorker(CMD_STOP)); }
    // Tells the worker the filter runs; a live source starts delivering only now.
    HRESULT Run(REFERENCE_TIME tStart) override;

protected:
    // Streaming-thread hooks.
    virtual HRESULT FillBuffer(IMediaSample* pSample) = 0;
    virtual HRESULT OnThreadCreate() { return S_OK; }   // failure fails the state change
    virtual HRESULT OnThreadDestroy() { return S_OK; }
    virtual HRESULT OnThreadStartPlay() { return S_OK; }
    // True for a source that delivers while paused; a live source answers false.
    virtual bool DeliversWhilePaused() const { return true; }
    // A sample FillBuffer filled is dropped because a pause came first or downstream refused
    // it: whatever the fill counted for it (times, frame counts) is the source's to take back.
    virtual void OnSampleNotDelivered(IMediaSample*) {}

    // Start the thread (Init, then Pause) when a connected pin becomes active; stop and
    // join it when it becomes inactive.
    HRESULT Active() override;
    HRESULT Inactive() override;

    Command GetRequest() { return static_cast<Command>(CAMThread::GetRequest()); }
    BOOL CheckRequest(Command* pCom) { return CAMThread::CheckRequest(reinterpret_cast<DWORD*>(pCom)); }

    // Defaults for a pin with one type, given by GetMediaType(CMediaType*).
    HRESULT CheckMediaType(const CMediaType* pMediaType) override;
    HRESULT GetMediaType(int iPosition, CMediaType* pMediaType) override;
    virtual HRESULT GetMediaType(CMediaType* pMediaType);

    DWORD ThreadProc() override;
    virtual HRESULT DoBufferProcessingLoop();

    CSource* m_pFilter;
};
