#include "EventTap.h"

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
    return win::UniqueFile(::CreateNamedPipeW(
        EventTapPipeName(::GetCurrentProcessId()).c_str(),
        PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 64 * 1024, 0, 0,
        &attributes));
}

// What is left of the flush once the destructor asked for it; INFINITE before.
DWORD Remaining(ULONGLONG deadline)
{
    if (deadline == 0) {
        return INFINITE;
    }
    const ULONGLONG now = ::GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

bool IsPast(ULONGLONG deadline) { return deadline != 0 && ::GetTickCount64() >= deadline; }

class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) : m_lock(lock) { ::AcquireSRWLockExclusive(&m_lock); }
    ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&m_lock); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& m_lock;
};

}  // namespace

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
      m_writeDone(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    if (!m_closing || !m_wake || !m_connectDone || !m_writeDone) {
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
    // A stuck reader still holds the last write: end it before its OVERLAPPED goes.
    if (m_writing) {
        ::CancelIoEx(m_pipe.Get(), &m_write);
        DWORD written = 0;
        ::GetOverlappedResult(m_pipe.Get(), &m_write, &written, TRUE);
    }
}

void EventTap::Sink(void* context, WORD type, DWORD id, const wchar_t* line)
{
    static_cast<EventTap*>(context)->Write(type, id, line);
}

void EventTap::Write(WORD type, DWORD id, const wchar_t* line)
{
    const EventTapHeader header = {type, id, ::GetCurrentProcessId(), ++m_sequence};
    if (!m_pipe) {
        return;
    }
    const std::size_t textBytes = std::wcslen(line) * sizeof(wchar_t);
    std::vector<BYTE> message(sizeof(header) + textBytes);
    std::memcpy(message.data(), &header, sizeof(header));
    std::memcpy(message.data() + sizeof(header), line, textBytes);

    ExclusiveLock hold(m_lock);
    if (m_queue.size() >= kEventTapBacklog) {
        ++m_dropped;
        return;
    }
    m_queue.push_back(std::move(message));
    StartWritesLocked();
}

std::size_t EventTap::DroppedLines() const
{
    ExclusiveLock hold(m_lock);
    return m_dropped;
}

void EventTap::StartWritesLocked()
{
    while (m_connected && !m_writing && !m_broken && !m_queue.empty()) {
        ::ResetEvent(m_writeDone.Get());
        m_write = {};
        m_write.hEvent = m_writeDone.Get();
        const std::vector<BYTE>& message = m_queue.front();
        if (::WriteFile(m_pipe.Get(), message.data(), static_cast<DWORD>(message.size()), nullptr, &m_write)) {
            m_queue.pop_front();
            continue;
        }
        if (::GetLastError() == ERROR_IO_PENDING) {
            m_writing = true;
        } else {
            m_broken = true;
        }
        ::SetEvent(m_wake.Get());
    }
}

void EventTap::Serve()
{
    ULONGLONG deadline = 0;
    while (WaitForReader(deadline) && ServeReader(deadline)) {
        ::DisconnectNamedPipe(m_pipe.Get());
    }
}

// Until a reader connects (true), or the flush ends with none (false).
bool EventTap::WaitForReader(ULONGLONG& deadline)
{
    for (;;) {
        ::ResetEvent(m_connectDone.Get());
        m_connect = {};
        m_connect.hEvent = m_connectDone.Get();
        DWORD ignored = 0;
        if (!::ConnectNamedPipe(m_pipe.Get(), &m_connect)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_NO_DATA) {
                // A reader came and went before the connect.
                ::DisconnectNamedPipe(m_pipe.Get());
                continue;
            }
            if (error != ERROR_IO_PENDING && error != ERROR_PIPE_CONNECTED) {
                return false;
            }
            if (error == ERROR_IO_PENDING) {
                for (;;) {
                    bool drained = false;
                    {
                        ExclusiveLock hold(m_lock);
                        drained = IsDrainedLocked();
                    }
                    if (deadline != 0 && (drained || IsPast(deadline))) {
                        ::CancelIoEx(m_pipe.Get(), &m_connect);
                        ::GetOverlappedResult(m_pipe.Get(), &m_connect, &ignored, TRUE);
                        return false;
                    }
                    const HANDLE handles[] = {m_connectDone.Get(), m_closing.Get()};
                    const DWORD waited = ::WaitForMultipleObjects(deadline == 0 ? 2 : 1, handles, FALSE,
                                                                  Remaining(deadline));
                    if (waited == WAIT_OBJECT_0) {
                        break;
                    }
                    if (waited == WAIT_OBJECT_0 + 1) {
                        deadline = ::GetTickCount64() + kEventTapFlushMs;
                    }
                }
                if (!::GetOverlappedResult(m_pipe.Get(), &m_connect, &ignored, FALSE)) {
                    ::DisconnectNamedPipe(m_pipe.Get());
                    continue;
                }
            }
        }
        ExclusiveLock hold(m_lock);
        m_connected = true;
        m_broken = false;
        StartWritesLocked();
        return true;
    }
}

// Until the reader goes away (true: wait for the next), or the flush ends (false).
bool EventTap::ServeReader(ULONGLONG& deadline)
{
    for (;;) {
        bool writing = false;
        bool drained = false;
        {
            ExclusiveLock hold(m_lock);
            if (m_writing && HasOverlappedIoCompleted(&m_write)) {
                DWORD written = 0;
                m_writing = false;
                if (::GetOverlappedResult(m_pipe.Get(), &m_write, &written, FALSE)) {
                    m_queue.pop_front();
                    StartWritesLocked();
                } else {
                    m_broken = true;
                }
            }
            if (m_broken) {
                // The line that failed stays first, for the next reader.
                m_connected = false;
                m_broken = false;
                return true;
            }
            writing = m_writing;
            drained = IsDrainedLocked();
        }
        if (deadline != 0 && (drained || IsPast(deadline))) {
            return false;
        }
        HANDLE handles[3] = {m_wake.Get()};
        DWORD count = 1;
        if (writing) {
            handles[count++] = m_writeDone.Get();
        }
        if (deadline == 0) {
            handles[count++] = m_closing.Get();
        }
        const DWORD waited = ::WaitForMultipleObjects(count, handles, FALSE, Remaining(deadline));
        if (deadline == 0 && waited == WAIT_OBJECT_0 + count - 1) {
            deadline = ::GetTickCount64() + kEventTapFlushMs;
        }
    }
}

}  // namespace vyx::service
