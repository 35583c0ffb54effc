// Stands in for regsvr32 where the real one cannot be made to misbehave. The test sets
// the behaviour in the environment, which the service passes on to its child:
//   VYX_STANDIN_MODE  "fail" (exit 3), "noop" (exit 0, registers nothing), "hang" (never ends),
//                     "register" (exit 0 after writing, or with /u deleting, the keys the
//                     model's filter build would, in the view its folder DX_x86 or DX_x64 names)
//   VYX_STANDIN_LOG   file to which every start appends "<tick> <command line>"
//   VYX_STANDIN_EVENT name of an event signalled once the start is logged
// A hanging stand-in holds the mutex kStandInAliveMutex, so a test can tell that it ended.
#include "CameraModelTable.h"
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

void SetString(const std::wstring& path, REGSAM view, const wchar_t* name, const std::wstring& value)
{
    vyx::win::UniqueRegKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.Put(),
                          nullptr) == ERROR_SUCCESS) {
        ::RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
}

void DeleteTree(const std::wstring& path, REGSAM view)
{
    vyx::win::UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | view, key.Put()) == ERROR_SUCCESS) {
        ::RegDeleteTreeW(key.Get(), nullptr);
        key.Reset();
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), view, 0);
    }
}

// What the model's filter build does when regsvr32 loads it: its class key with the
// library's path and its video input category entry, or their removal.
void RegisterAsTheBuildWould(int argc, wchar_t** argv)
{
    const std::wstring library = argv[argc - 1];
    const bool unregister = argc > 2 && std::wstring(argv[argc - 2]) == L"/u";
    const std::wstring fileName = library.substr(library.find_last_of(L'\\') + 1);
    const REGSAM view = library.find(L"\\DX_x86\\") != std::wstring::npos ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    for (std::size_t i = 0; i < vyx::service::CameraModelTable::Count(); ++i) {
        const vyx::service::CameraModel& model = vyx::service::CameraModelTable::Row(i);
        if (fileName != model.dllFileName) {
            continue;
        }
        const std::wstring classKey = std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + model.filterClsid;
        const std::wstring instanceKey =
            std::wstring(L"SOFTWARE\\Classes\\CLSID\\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\Instance\\") +
            model.filterClsid;
        if (unregister) {
            DeleteTree(instanceKey, view);
            DeleteTree(classKey, view);
        } else {
            SetString(classKey + L"\\InprocServer32", view, nullptr, library);
            SetString(instanceKey, view, L"CLSID", model.filterClsid);
        }
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
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
    if (mode == L"register") {
        RegisterAsTheBuildWould(argc, argv);
    }
    return mode == L"fail" ? 3 : 0;
}
