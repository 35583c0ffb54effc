#include "VideoDevices.h"

#include "ChildProcess.h"
#include "ComApartment.h"
#include "HostArchitecture.h"
#include "TestLayout.h"
#include "UniqueResource.h"

#include <dshow.h>
#include <wrl/client.h>

namespace vyx::service::test {

using Microsoft::WRL::ComPtr;

namespace {
// Far beyond any program these tests start; only a hang reaches it.
constexpr DWORD kProgramTimeoutMs = 60000;
}  // namespace

namespace {

std::vector<std::wstring> ListInProcess()
{
    std::vector<std::wstring> names;
    const win::ComApartment apartment;
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
    return names;
}

}  // namespace

int RunProgram(const std::wstring& commandLine, std::string* output, DWORD* processId)
{
    // The output goes to a temporary file, read once the program has ended: a pipe would
    // be held open by any process that inherits it (Wine's helpers that a first 32-bit
    // program of the prefix starts live on), and reading it to its end would never end.
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    win::UniqueFile outputFile;
    if (output != nullptr) {
        wchar_t folder[MAX_PATH] = {};
        wchar_t name[MAX_PATH] = {};
        if (::GetTempPathW(MAX_PATH, folder) == 0 || ::GetTempFileNameW(folder, L"vyx", 0, name) == 0) {
            return -1;
        }
        outputFile.Reset(::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                       nullptr));
        if (!outputFile) {
            return -1;
        }
    }
    win::ChildProcess program;
    if (program.Start(commandLine, vyx::win::ChildProcessOptions::Output(outputFile.Get(), outputFile.Get())) !=
        ERROR_SUCCESS) {
        return -1;
    }
    if (processId != nullptr) {
        *processId = program.ProcessId();
    }
    if (program.Wait(kProgramTimeoutMs) != ERROR_SUCCESS) {
        return -1;
    }
    if (output != nullptr) {
        ::SetFilePointer(outputFile.Get(), 0, nullptr, FILE_BEGIN);
        char buffer[4096];
        DWORD read = 0;
        while (::ReadFile(outputFile.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
            output->append(buffer, read);
        }
    }
    return static_cast<int>(program.ExitCode());
}

std::vector<std::wstring> ListVideoInputDevices(FilterArch arch, bool& ok)
{
    if (arch == ProcessArch()) {
        ok = true;
        return ListInProcess();
    }
    std::vector<std::wstring> names;
    std::string output;
    ok = RunProgram(L"\"" + DistFolder() + L"\\tools_" + ArchText(arch) + L"\\vyxcap.exe\" list", &output) == 0;
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
