#include "EventTapListener.h"

#include "EventTap.h"
#include "UniqueResource.h"

#include <cstring>

namespace vyx::service::test {

namespace {

// Enough pipe instances that writers of several processes rarely find all busy.
constexpr int kInstances = 4;

// Waits for an overlapped operation or the stop event; false when stopped.
bool Complete(HANDLE pipe, OVERLAPPED& overlapped, HANDLE stop, DWORD& transferred)
{
    const HANDLE handles[] = {stop, overlapped.hEvent};
    if (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
        ::CancelIo(pipe);
        ::GetOverlappedResult(pipe, &overlapped, &transferred, TRUE);
        return false;
    }
    return ::GetOverlappedResult(pipe, &overlapped, &transferred, FALSE) != FALSE ||
           ::GetLastError() == ERROR_MORE_DATA;
}

}  // namespace

EventTapListener::EventTapListener() : m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    // Processes started from now on copy their lines to the tap.
    const DWORD on = 1;
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kEventTapSwitchKey, kEventTapSwitchValue, REG_DWORD, &on, sizeof(on));
    for (int i = 0; i < kInstances; ++i) {
        m_threads.emplace_back([this] { Serve(); });
    }
}

EventTapListener::~EventTapListener()
{
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kEventTapSwitchKey, kEventTapSwitchValue);
    ::SetEvent(m_stop.Get());
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

void EventTapListener::Serve()
{
    win::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    for (;;) {
        win::UniqueFile pipe(::CreateNamedPipeW(kEventTapPipe, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                           PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                           PIPE_UNLIMITED_INSTANCES, 0, 64 * 1024, 0, nullptr));
        if (!pipe) {
            return;
        }
        OVERLAPPED overlapped = {};
        overlapped.hEvent = done.Get();
        ::ResetEvent(done.Get());
        DWORD transferred = 0;
        if (!::ConnectNamedPipe(pipe.Get(), &overlapped)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_IO_PENDING) {
                if (!Complete(pipe.Get(), overlapped, m_stop.Get(), transferred)) {
                    return;
                }
            } else if (error != ERROR_PIPE_CONNECTED) {
                continue;
            }
        }
        std::vector<BYTE> message(sizeof(vyx::service::EventTapHeader) + 4096 * sizeof(wchar_t));
        ::ResetEvent(done.Get());
        overlapped = {};
        overlapped.hEvent = done.Get();
        transferred = 0;
        if (!::ReadFile(pipe.Get(), message.data(), static_cast<DWORD>(message.size()), &transferred, &overlapped)) {
            if (::GetLastError() != ERROR_IO_PENDING) {
                continue;
            }
            if (!Complete(pipe.Get(), overlapped, m_stop.Get(), transferred)) {
                return;
            }
        }
        if (transferred < sizeof(vyx::service::EventTapHeader)) {
            continue;
        }
        vyx::service::EventTapHeader header;
        std::memcpy(&header, message.data(), sizeof(header));
        const std::size_t chars = (transferred - sizeof(header)) / sizeof(wchar_t);
        std::wstring line(chars, L'\0');
        std::memcpy(line.data(), message.data() + sizeof(header), chars * sizeof(wchar_t));
        Add(RecordedEvent{static_cast<WORD>(header.type), header.id, line, header.processId, header.sequence, 0});
    }
}

}  // namespace vyx::service::test
