#include "EventTap.h"

#include "SrwLock.h"

#include <sddl.h>

#include <cstring>
#include <cwchar>
#include <memory>

namespace vyx::service {

namespace {

struct LocalFreeDeleter {
    void operator()(void* memory) const { ::LocalFree(memory); }
};

win::UniqueFile CreateTapPipe()
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kEventTapAccess, SDDL_REVISION_1, &descriptor,
                                                                nullptr)) {
        return win::UniqueFile();
    }
    const std::unique_ptr<void, LocalFreeDeleter> owned(descriptor);
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    // Duplex only so that a read can wait on it: it ends when the reader goes away. What a
    // reader might write is read and dropped.
    return win::UniqueFile(::CreateNamedPipeW(
        EventTapPipeName(::GetCurrentProcessId()).c_str(),
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 64 * 1024, 64, 0,
        &attributes));
}

// Starts an overlapped operation on `event`, which it resets.
OVERLAPPED On(HANDLE event)
{
    ::ResetEvent(event);
    OVERLAPPED operation = {};
    operation.hEvent = event;
    return operation;
}

}  // namespace

// The destructor's flush: no deadline until it asks, then kEventTapFlushMs from then.
struct EventTap::Flush {
    ULONGLONG deadline = 0;

    bool Asked() const { return deadline != 0; }
    void Ask() { deadline = ::GetTickCount64() + kEventTapFlushMs; }
    DWORD Remaining() const
    {
        if (deadline == 0) {
            return INFINITE;
        }
        const ULONGLONG now = ::GetTickCount64();
        return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    }
};

std::wstring EventTapPipeName(DWORD processId)
{
    return L"\\\\.\\pipe\\VYXDshowService.events." + std::to_wstring(processId);
}

bool IsEventTapEnabled()
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status = ::RegGetValueW(HKEY_LOCAL_MACHINE, kEventTapSwitchKey, kEventTapSwitchValue,
                                          RRF_RT_REG_DWORD, nullptr, &value, &size);
    return status == ERROR_SUCCESS && value == 1;
}

EventTap::EventTap()
    : m_pipe(CreateTapPipe()),
      m_closing(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_wake(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_connectDone(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_writeDone(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_readDone(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    if (!m_closing || !m_wake || !m_connectDone || !m_writeDone || !m_readDone) {
        m_pipe.Reset();
    }
    if (m_pipe) {
        m_thread = std::thread([this] { Serve(); });
    }
}

EventTap::~EventTap()
{
    if (!m_pipe) {
        return;
    }
    ::SetEvent(m_closing.Get());
    m_thread.join();
}

void EventTap::Sink(void* context, WORD type, DWORD id, const wchar_t* line)
{
    static_cast<EventTap*>(context)->Write(type, id, line);
}

void EventTap::Write(WORD type, DWORD id, const wchar_t* line)
{
    if (!m_pipe) {
        return;
    }
    const std::size_t textBytes = std::wcslen(line) * sizeof(wchar_t);
    std::vector<BYTE> message(sizeof(EventTapHeader) + textBytes);
    std::memcpy(message.data() + sizeof(EventTapHeader), line, textBytes);
    EventTapHeader header = {type, id, ::GetCurrentProcessId(), 0};
    bool wasEmpty = false;
    {
        win::ExclusiveLock hold(m_lock);
        header.sequence = ++m_sequence;
        if (m_queue.size() >= kEventTapBacklog) {
            ++m_dropped;
            return;
        }
        std::memcpy(message.data(), &header, sizeof(header));
        wasEmpty = m_queue.empty();
        m_queue.push_back(std::move(message));
    }
    // The tap's thread takes every line queued behind the one it writes on its own.
    if (wasEmpty) {
        ::SetEvent(m_wake.Get());
    }
}

std::size_t EventTap::DroppedLines() const
{
    win::ExclusiveLock hold(m_lock);
    return m_dropped;
}

bool EventTap::Finish(OVERLAPPED& operation, bool& pending)
{
    if (!pending) {
        return false;
    }
    pending = false;
    ::CancelIoEx(m_pipe.Get(), &operation);
    DWORD ignored = 0;
    return ::GetOverlappedResult(m_pipe.Get(), &operation, &ignored, TRUE) != FALSE;
}

void EventTap::Serve()
{
    Flush flush;
    while (Listen(flush) && ServeReader(flush)) {
        ::DisconnectNamedPipe(m_pipe.Get());
    }
}

bool EventTap::Listen(Flush& flush)
{
    for (;;) {
        bool drained = false;
        {
            win::ExclusiveLock hold(m_lock);
            drained = m_queue.empty();
        }
        if (flush.Asked() && (drained || flush.Remaining() == 0)) {
            return false;
        }
        OVERLAPPED connect = On(m_connectDone.Get());
        if (!::ConnectNamedPipe(m_pipe.Get(), &connect)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_PIPE_CONNECTED) {
                return true;
            }
            if (error == ERROR_NO_DATA) {
                // A reader came and went before the connect.
                ::DisconnectNamedPipe(m_pipe.Get());
                continue;
            }
            if (error != ERROR_IO_PENDING) {
                return false;
            }
        }
        bool pending = true;
        while (pending) {
            const HANDLE handles[] = {m_connectDone.Get(), m_closing.Get()};
            const DWORD waited =
                ::WaitForMultipleObjects(flush.Asked() ? 1 : 2, handles, FALSE, flush.Remaining());
            if (waited == WAIT_OBJECT_0) {
                pending = false;
            } else if (waited == WAIT_OBJECT_0 + 1) {
                flush.Ask();
                if (drained) {
                    Finish(connect, pending);
                    return false;
                }
            } else {
                // The flush is over, or the wait failed: waiting again could only spin.
                Finish(connect, pending);
                return false;
            }
        }
        DWORD ignored = 0;
        if (::GetOverlappedResult(m_pipe.Get(), &connect, &ignored, FALSE)) {
            return true;
        }
        ::DisconnectNamedPipe(m_pipe.Get());
    }
}

bool EventTap::ServeReader(Flush& flush)
{
    BYTE dropped[64];
    OVERLAPPED read = {};
    OVERLAPPED write = {};
    bool reading = false;
    bool writing = false;
    bool readerGone = false;
    for (;;) {
        if (!reading) {
            read = On(m_readDone.Get());
            if (::ReadFile(m_pipe.Get(), dropped, sizeof(dropped), nullptr, &read) ||
                ::GetLastError() == ERROR_MORE_DATA) {
                continue;
            }
            if (::GetLastError() != ERROR_IO_PENDING) {
                readerGone = true;
                break;
            }
            reading = true;
        }
        if (!writing) {
            // Only this thread removes lines, so the first one stays put while others queue.
            const std::vector<BYTE>* line = nullptr;
            {
                win::ExclusiveLock hold(m_lock);
                line = m_queue.empty() ? nullptr : &m_queue.front();
            }
            if (line == nullptr && flush.Asked()) {
                break;
            }
            if (line != nullptr) {
                write = On(m_writeDone.Get());
                const BOOL written =
                    ::WriteFile(m_pipe.Get(), line->data(), static_cast<DWORD>(line->size()), nullptr, &write);
                if (!written && ::GetLastError() != ERROR_IO_PENDING) {
                    // The line that failed stays first, for the next reader.
                    readerGone = true;
                    break;
                }
                writing = true;
            }
        }
        // A finished write before a departed reader: the line it delivered is not sent again.
        HANDLE handles[4] = {};
        DWORD count = 0;
        if (writing) {
            handles[count++] = m_writeDone.Get();
        }
        handles[count++] = m_readDone.Get();
        handles[count++] = m_wake.Get();
        if (!flush.Asked()) {
            handles[count++] = m_closing.Get();
        }
        const DWORD waited = ::WaitForMultipleObjects(count, handles, FALSE, flush.Remaining());
        if (waited >= WAIT_OBJECT_0 + count) {
            // The flush is over, or the wait failed: waiting again could only spin.
            break;
        }
        const HANDLE signalled = handles[waited - WAIT_OBJECT_0];
        DWORD transferred = 0;
        if (signalled == m_readDone.Get()) {
            reading = false;
            if (!::GetOverlappedResult(m_pipe.Get(), &read, &transferred, FALSE) &&
                ::GetLastError() != ERROR_MORE_DATA) {
                readerGone = true;
                break;
            }
        } else if (signalled == m_writeDone.Get()) {
            writing = false;
            if (!::GetOverlappedResult(m_pipe.Get(), &write, &transferred, FALSE)) {
                readerGone = true;
                break;
            }
            win::ExclusiveLock hold(m_lock);
            m_queue.pop_front();
        } else if (signalled == m_closing.Get()) {
            flush.Ask();
        }
    }
    Finish(read, reading);
    if (Finish(write, writing)) {
        win::ExclusiveLock hold(m_lock);
        m_queue.pop_front();
    }
    return readerGone;
}

}  // namespace vyx::service
