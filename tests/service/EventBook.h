#pragma once
// The lines a test saw the service write, in order, with type and identifier; filled by
// an EventRecorder (in-process sink) or an EventTapListener (the executable's pipe tap).
// Threads: writers call Add from any thread; m_lock guards m_events, m_changed wakes
// waiters on every line.

#include "UniqueResource.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace vyx::service::test {

struct RecordedEvent {
    WORD type = 0;
    DWORD id = 0;
    std::wstring line;
    DWORD processId = 0;
    DWORD sequence = 0;  // the writer's own order, for lines of another process
    ULONGLONG tick = 0;  // when the line arrived
};

class EventBook {
public:
    EventBook();
    virtual ~EventBook() = default;
    EventBook(const EventBook&) = delete;
    EventBook& operator=(const EventBook&) = delete;

    void Add(RecordedEvent event);
    std::vector<RecordedEvent> Events() const;
    std::vector<RecordedEvent> WithId(DWORD id) const;
    // The lines of one writing process, in the order it wrote them.
    std::vector<RecordedEvent> OfProcess(DWORD processId) const;
    void Clear();

    // Waits until the predicate holds for the lines seen so far; the limit only guards
    // against a hang and is never part of what a test checks.
    bool WaitUntil(const std::function<bool(const std::vector<RecordedEvent>&)>& predicate,
                   DWORD limitMs = 60000) const;
    bool WaitForId(DWORD id, std::size_t count = 1, DWORD limitMs = 60000) const;

private:
    mutable SRWLOCK m_lock = SRWLOCK_INIT;
    std::vector<RecordedEvent> m_events;
    win::UniqueHandle m_changed;  // manual reset, set by Add
};

// "id type line" per event, one per line, for failure messages.
std::string Describe(const std::vector<RecordedEvent>& events);
std::string Narrow(const std::wstring& text);
bool StartsWith(const std::wstring& text, const std::wstring& prefix);
// A line of this type and identifier, whole or beginning with `prefix`.
void ExpectLine(const RecordedEvent& event, WORD type, DWORD id, const std::wstring& line);
void ExpectStarts(const RecordedEvent& event, WORD type, DWORD id, const std::wstring& prefix);

}  // namespace vyx::service::test
