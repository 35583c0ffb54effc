#include "EventTap.h"

#include "PipeServerCheck.h"
#include "UniqueResource.h"

#include <atomic>
#include <cstring>
#include <cwchar>
#include <vector>

namespace vyx::service {

namespace {

std::atomic<DWORD> g_sequence{0};

win::UniqueFile OpenTap()
{
    constexpr DWORD kFlags = FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_ANONYMOUS;
    // Another writer may take the instance that became free between the wait and the open.
    for (int attempt = 0; attempt < 3; ++attempt) {
        win::UniqueFile pipe(::CreateFileW(kEventTapPipe, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, kFlags, nullptr));
        if (pipe || ::GetLastError() != ERROR_PIPE_BUSY || !::WaitNamedPipeW(kEventTapPipe, kEventTapWaitMs)) {
            return pipe;
        }
    }
    return win::UniqueFile();
}

}  // namespace

bool IsEventTapEnabled()
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status = ::RegGetValueW(HKEY_LOCAL_MACHINE, kEventTapSwitchKey, kEventTapSwitchValue,
                                          RRF_RT_REG_DWORD, nullptr, &value, &size);
    return status == ERROR_SUCCESS && value == 1;
}

void WriteToEventTap(void*, WORD type, DWORD id, const wchar_t* line)
{
    win::UniqueFile pipe = OpenTap();
    // Whoever created the pipe first serves it: only an administrator's listener is written to.
    if (!pipe || !IsPipeServerAdministrative(pipe.Get())) {
        return;
    }
    const EventTapHeader header = {type, id, ::GetCurrentProcessId(), ++g_sequence};
    const std::size_t textBytes = std::wcslen(line) * sizeof(wchar_t);
    std::vector<BYTE> message(sizeof(header) + textBytes);
    std::memcpy(message.data(), &header, sizeof(header));
    std::memcpy(message.data() + sizeof(header), line, textBytes);

    win::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!done) {
        return;
    }
    OVERLAPPED overlapped = {};
    overlapped.hEvent = done.Get();
    DWORD written = 0;
    if (::WriteFile(pipe.Get(), message.data(), static_cast<DWORD>(message.size()), &written, &overlapped) ||
        ::GetLastError() != ERROR_IO_PENDING) {
        return;
    }
    // A listener that does not read must not hold the service up.
    if (::WaitForSingleObject(done.Get(), kEventTapWaitMs) != WAIT_OBJECT_0) {
        ::CancelIo(pipe.Get());
    }
    ::GetOverlappedResult(pipe.Get(), &overlapped, &written, TRUE);
}

}  // namespace vyx::service
