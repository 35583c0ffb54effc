#include "EventBook.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vyx::service::test {

EventBook::EventBook() : m_changed(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void EventBook::Add(RecordedEvent event)
{
    event.tick = ::GetTickCount64();
    ::AcquireSRWLockExclusive(&m_lock);
    m_events.push_back(std::move(event));
    ::ReleaseSRWLockExclusive(&m_lock);
    ::SetEvent(m_changed.Get());
}

std::vector<RecordedEvent> EventBook::Events() const
{
    ::AcquireSRWLockShared(&m_lock);
    std::vector<RecordedEvent> copy = m_events;
    ::ReleaseSRWLockShared(&m_lock);
    return copy;
}

std::vector<RecordedEvent> EventBook::WithId(DWORD id) const
{
    std::vector<RecordedEvent> all = Events();
    std::vector<RecordedEvent> matching;
    std::copy_if(all.begin(), all.end(), std::back_inserter(matching),
                 [id](const RecordedEvent& e) { return e.id == id; });
    return matching;
}

std::vector<RecordedEvent> EventBook::OfProcess(DWORD processId) const
{
    std::vector<RecordedEvent> all = Events();
    std::vector<RecordedEvent> matching;
    std::copy_if(all.begin(), all.end(), std::back_inserter(matching),
                 [processId](const RecordedEvent& e) { return e.processId == processId; });
    std::stable_sort(matching.begin(), matching.end(),
                     [](const RecordedEvent& a, const RecordedEvent& b) { return a.sequence < b.sequence; });
    return matching;
}

void EventBook::Clear()
{
    ::AcquireSRWLockExclusive(&m_lock);
    m_events.clear();
    ::ReleaseSRWLockExclusive(&m_lock);
}

bool EventBook::WaitUntil(const std::function<bool(const std::vector<RecordedEvent>&)>& predicate,
                          DWORD limitMs) const
{
    const ULONGLONG deadline = ::GetTickCount64() + limitMs;
    for (;;) {
        // Reset before looking, so a line added after the look still wakes the wait.
        ::ResetEvent(m_changed.Get());
        if (predicate(Events())) {
            return true;
        }
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        ::WaitForSingleObject(m_changed.Get(), static_cast<DWORD>(deadline - now));
    }
}

bool EventBook::WaitForId(DWORD id, std::size_t count, DWORD limitMs) const
{
    return WaitUntil(
        [id, count](const std::vector<RecordedEvent>& events) {
            return static_cast<std::size_t>(std::count_if(events.begin(), events.end(),
                                                          [id](const RecordedEvent& e) { return e.id == id; })) >=
                   count;
        },
        limitMs);
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text) {
        out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : (c == L'\r' ? '~' : (c == L'\n' ? '|' : '?'));
    }
    return out;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

void ExpectLine(const RecordedEvent& event, WORD type, DWORD id, const std::wstring& line)
{
    EXPECT_EQ(event.type, type) << Narrow(event.line);
    EXPECT_EQ(event.id, id) << Narrow(event.line);
    EXPECT_EQ(event.line, line);
}

void ExpectStarts(const RecordedEvent& event, WORD type, DWORD id, const std::wstring& prefix)
{
    EXPECT_EQ(event.type, type) << Narrow(event.line);
    EXPECT_EQ(event.id, id) << Narrow(event.line);
    EXPECT_TRUE(StartsWith(event.line, prefix)) << Narrow(event.line);
}

std::string Describe(const std::vector<RecordedEvent>& events)
{
    std::string out;
    for (const RecordedEvent& e : events) {
        out += std::to_string(e.id) + " t" + std::to_string(e.type) + " p" + std::to_string(e.processId) + " " +
               Narrow(e.line) + "\n";
    }
    return out;
}

}  // namespace vyx::service::test
