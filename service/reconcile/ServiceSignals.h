#pragma once
// What the control handler tells the reconcile worker: that the service must stop, and that
// USB devices came or went since the last pass.
//
// Threads: the dispatcher thread calls Stop and OnDeviceEvent; the worker waits on the two
// events and takes the last device event; any thread reads Generation. The counters are
// atomics; the events are made by the constructor and live as long as the object, so a late
// control never signals a closed handle.

#include "UniqueResource.h"

#include <windows.h>

#include <atomic>

namespace vyx::service {

class ServiceSignals {
public:
    ServiceSignals();
    ServiceSignals(const ServiceSignals&) = delete;
    ServiceSignals& operator=(const ServiceSignals&) = delete;

    // 0, or the error of creating an event; the object is then of no use.
    DWORD CreationError() const { return m_creationError; }

    // Manual reset, stays signalled once the service must stop.
    HANDLE StopEvent() const { return m_stop.Get(); }
    // Automatic reset: every accepted device event, and the stop.
    HANDLE ChangeEvent() const { return m_change.Get(); }

    void Stop();
    bool StopSignalled() const;

    // The control handler's answer to a device event; an arrival or removal completion with
    // well-formed data counts as a change.
    DWORD OnDeviceEvent(DWORD eventType, const void* eventData);
    // Accepted device events since the service started.
    LONG Generation() const { return m_generation.load(); }
    // The type of the latest accepted event since the last take, or 0.
    LONG TakeLastDeviceEvent() { return m_lastDeviceEvent.exchange(0); }

private:
    win::UniqueHandle m_stop;
    win::UniqueHandle m_change;
    DWORD m_creationError = ERROR_SUCCESS;
    std::atomic<LONG> m_generation{0};
    std::atomic<LONG> m_lastDeviceEvent{0};
};

}  // namespace vyx::service
