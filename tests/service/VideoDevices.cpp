#include "VideoDevices.h"

#include "TestLayout.h"
#include "UniqueResource.h"

#include <dshow.h>
#include <wrl/client.h>

namespace vyx::service::test {

using Microsoft::WRL::ComPtr;

std::vector<std::wstring> ListVideoInputDevices32()
{
    std::vector<std::wstring> names;
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        ComPtr<ICreateDevEnum> devices;
        ComPtr<IEnumMoniker> monikers;
        if (SUCCEEDED(::CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_PPV_ARGS(&devices))) &&
            devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) == S_OK) {
            ComPtr<IMoniker> moniker;
            while (monikers->Next(1, &moniker, nullptr) == S_OK) {
                ComPtr<IPropertyBag> bag;
                VARIANT name;
                ::VariantInit(&name);
                if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag))) &&
                    SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR) {
                    names.emplace_back(name.bstrVal);
                }
                ::VariantClear(&name);
                moniker.Reset();
            }
        }
    }
    if (SUCCEEDED(init)) {
        ::CoUninitialize();
    }
    return names;
}

int RunProgram(const std::wstring& commandLine, std::string* output, DWORD* processId)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    UniqueHandle readEnd;
    UniqueHandle writeEnd;
    if (output != nullptr && !::CreatePipe(readEnd.Put(), writeEnd.Put(), &inherit, 0)) {
        return -1;
    }
    if (readEnd) {
        ::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (output != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd.Get();
        startup.hStdError = writeEnd.Get();
        startup.hStdInput = nullptr;
    }
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(nullptr, writable.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr, &startup,
                          &info)) {
        return -1;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    if (processId != nullptr) {
        *processId = info.dwProcessId;
    }
    writeEnd.Reset();
    if (output != nullptr) {
        char buffer[4096];
        DWORD read = 0;
        while (::ReadFile(readEnd.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
            output->append(buffer, read);
        }
    }
    ::WaitForSingleObject(process.Get(), INFINITE);
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process.Get(), &exitCode);
    return static_cast<int>(exitCode);
}

std::vector<std::wstring> ListVideoInputDevices64(bool& ok)
{
    std::vector<std::wstring> names;
    std::string output;
    ok = RunProgram(L"\"" + DistFolder() + L"\\tools_x64\\vyxcap.exe\" list", &output) == 0;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos) {
            end = output.size();
        }
        std::string line = output.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.pop_back();
        }
        if (!line.empty()) {
            names.emplace_back(line.begin(), line.end());
        }
        start = end + 1;
    }
    return names;
}

}  // namespace vyx::service::test
