// Stands in for regsvr32 where the real one cannot be made to misbehave. The test sets
// the behaviour in the environment, which the service passes on to its child:
//   VYX_STANDIN_MODE  "fail" (exit 3), "noop" (exit 0, registers nothing), "hang" (never ends)
//   VYX_STANDIN_LOG   file to which every start appends "<tick> <command line>"
//   VYX_STANDIN_EVENT name of an event signalled once the start is logged
// A hanging stand-in holds the mutex kStandInAliveMutex, so a test can tell that it ended.
#include "UniqueResource.h"

#include <windows.h>

#include <string>

using vyx::win::UniqueFile;
using vyx::win::UniqueHandle;

namespace {

std::wstring Env(const wchar_t* name)
{
    wchar_t buffer[1024] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

void AppendLog(const std::wstring& path)
{
    if (path.empty()) {
        return;
    }
    UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return;
    }
    const std::wstring line = std::to_wstring(::GetTickCount64()) + L" " + ::GetCommandLineW() + L"\n";
    DWORD written = 0;
    ::WriteFile(file.Get(), line.c_str(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
}

}  // namespace

int wmain()
{
    const std::wstring mode = Env(L"VYX_STANDIN_MODE");
    AppendLog(Env(L"VYX_STANDIN_LOG"));
    UniqueHandle alive(mode == L"hang" ? ::CreateMutexW(nullptr, FALSE, L"VyxStandInAlive") : nullptr);
    const std::wstring eventName = Env(L"VYX_STANDIN_EVENT");
    if (!eventName.empty()) {
        UniqueHandle started(::OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName.c_str()));
        if (started) {
            ::SetEvent(started.Get());
        }
    }
    if (mode == L"hang") {
        ::WaitForSingleObject(::GetCurrentProcess(), INFINITE);
    }
    return mode == L"fail" ? 3 : 0;
}
