#include "VideoDevices.h"

#include "ComApartment.h"
#include "HostArchitecture.h"
#include "InstalledBuilds.h"
#include "Processes.h"

#include <dshow.h>
#include <wrl/client.h>

namespace vyx::service::test {

using Microsoft::WRL::ComPtr;

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

std::vector<std::wstring> ListVideoInputDevices(FilterArch arch, bool& ok)
{
    if (arch == ProcessArch()) {
        ok = true;
        return ListInProcess();
    }
    std::vector<std::wstring> names;
    const vyx::test::ProcessResult run =
        vyx::test::RunProcess(L"\"" + vyx::test::DistPath() + L"\\tools_" + ArchText(arch) + L"\\vyxcap.exe\" list");
    ok = run.exitCode == 0;
    const std::string& output = run.out;
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
