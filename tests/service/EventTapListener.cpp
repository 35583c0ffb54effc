#include "EventTapListener.h"

#include "EventTap.h"
#include "UniqueResource.h"

#include <tlhelp32.h>

#include <cstring>
#include <cwchar>

namespace vyx::service::test {

namespace {

constexpr DWORD kLookEveryMs = 10;
// A process with its tap on creates the pipe first thing; one without never does.
constexpr DWORD kPipeAppearsWithinMs = 5000;

// Waits for an overlapped read or the stop event; false when stopped or failed.
bool Complete(HANDLE pipe, OVERLAPPED& overlapped, HANDLE stop, DWORD& transferred)
{
    const HANDLE handles[] = {stop, overlapped.hEvent};
    if (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
        ::CancelIoEx(pipe, &overlapped);
        ::GetOverlappedResult(pipe, &overlapped, &transferred, TRUE);
        return false;
    }
    return ::GetOverlappedResult(pipe, &overlapped, &transferred, FALSE) != FALSE;
}

win::UniqueFile ConnectToTap(DWORD processId, HANDLE process, HANDLE stop)
{
    const std::wstring name = EventTapPipeName(processId);
    const ULONGLONG deadline = ::GetTickCount64() + kPipeAppearsWithinMs;
    for (;;) {
        win::UniqueFile pipe(::CreateFileW(name.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
        if (pipe) {
            DWORD mode = PIPE_READMODE_MESSAGE;
            ::SetNamedPipeHandleState(pipe.Get(), &mode, nullptr, nullptr);
            return pipe;
        }
        const HANDLE handles[] = {stop, process};
        if (::GetTickCount64() >= deadline ||
            ::WaitForMultipleObjects(2, handles, FALSE, kLookEveryMs) != WAIT_TIMEOUT) {
            return win::UniqueFile();
        }
    }
}

void ReadTap(DWORD processId, win::UniqueHandle process, HANDLE stop, EventBook& book)
{
    win::UniqueFile pipe = ConnectToTap(processId, process.Get(), stop);
    if (!pipe) {
        return;
    }
    win::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::vector<BYTE> message(sizeof(EventTapHeader) + 4096 * sizeof(wchar_t));
    for (;;) {
        ::ResetEvent(done.Get());
        OVERLAPPED overlapped = {};
        overlapped.hEvent = done.Get();
        DWORD transferred = 0;
        if (!::ReadFile(pipe.Get(), message.data(), static_cast<DWORD>(message.size()), &transferred, &overlapped)) {
            if (::GetLastError() != ERROR_IO_PENDING || !Complete(pipe.Get(), overlapped, stop, transferred)) {
                return;
            }
        }
        if (transferred < sizeof(EventTapHeader)) {
            continue;
        }
        EventTapHeader header;
        std::memcpy(&header, message.data(), sizeof(header));
        const std::size_t chars = (transferred - sizeof(header)) / sizeof(wchar_t);
        std::wstring line(chars, L'\0');
        std::memcpy(line.data(), message.data() + sizeof(header), chars * sizeof(wchar_t));
        book.Add(RecordedEvent{static_cast<WORD>(header.type), header.id, line, header.processId, header.sequence, 0});
    }
}

ULONGLONG CreationTime(HANDLE process)
{
    FILETIME created = {};
    FILETIME unused[3] = {};
    if (!::GetProcessTimes(process, &created, &unused[0], &unused[1], &unused[2])) {
        return 0;
    }
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

EventTapListener::EventTapListener() : m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    // Processes started from now on serve their lines on a tap.
    const DWORD on = 1;
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kEventTapSwitchKey, kEventTapSwitchValue, REG_DWORD, &on, sizeof(on));
    m_watcher = std::thread([this] { Watch(); });
}

EventTapListener::~EventTapListener()
{
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kEventTapSwitchKey, kEventTapSwitchValue);
    ::SetEvent(m_stop.Get());
    m_watcher.join();
    for (std::thread& reader : m_readers) {
        reader.join();
    }
}

void EventTapListener::Watch()
{
    do {
        win::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = snapshot && ::Process32FirstW(snapshot.Get(), &entry); more;
             more = ::Process32NextW(snapshot.Get(), &entry)) {
            if (_wcsicmp(entry.szExeFile, L"VYXCamService.exe") != 0) {
                continue;
            }
            win::UniqueHandle process(
                ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID));
            // Process IDs come back: the creation time tells a new process from one followed before.
            if (!process || !m_followed.emplace(entry.th32ProcessID, CreationTime(process.Get())).second) {
                continue;
            }
            m_readers.emplace_back([this, id = entry.th32ProcessID, owned = std::move(process)]() mutable {
                ReadTap(id, std::move(owned), m_stop.Get(), *this);
            });
        }
    } while (::WaitForSingleObject(m_stop.Get(), kLookEveryMs) == WAIT_TIMEOUT);
}

}  // namespace vyx::service::test
