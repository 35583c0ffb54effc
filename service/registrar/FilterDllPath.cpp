#include "FilterDllPath.h"

#include "PathText.h"
#include "PeHeaders.h"

#include <vector>

namespace vyx::service {

namespace {

std::wstring Join(const std::wstring& a, const std::wstring& b)
{
    if (a.empty()) {
        return b;
    }
    if (a.back() == L'\\') {
        return a + b;
    }
    return a + L"\\" + b;
}

bool GetExecutablePath(std::wstring& path)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return false;
        }
        if (length < buffer.size() - 1) {
            path.assign(buffer.data(), length);
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool FullPath(const std::wstring& path, std::wstring& full)
{
    const DWORD required = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (required == 0) {
        return false;
    }
    std::vector<wchar_t> buffer(required + 1, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) {
        return false;
    }
    full.assign(buffer.data(), length);
    return true;
}

bool IsUsableFileName(const wchar_t* name)
{
    if (name == nullptr || *name == L'\0') {
        return false;
    }
    const std::wstring text(name);
    return text.find_first_of(L"\\/:") == std::wstring::npos && text.find(L"..") == std::wstring::npos;
}

}  // namespace

bool GetServiceExecutablePath(std::wstring& path) { return GetExecutablePath(path); }

bool BuildDllPath(const CameraModel& model, FilterArch arch, std::wstring& path)
{
    return BuildArchFilePath(model.dllFileName, arch, path);
}

bool BuildArchFilePath(const wchar_t* fileName, FilterArch arch, std::wstring& path)
{
    if (!IsUsableFileName(fileName)) {
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    std::wstring executable;
    if (!GetExecutablePath(executable)) {
        return false;
    }
    const std::wstring folder = Join(ParentDirectory(executable), ArchFolder(arch));
    std::wstring fullFolder;
    std::wstring fullFile;
    if (!FullPath(folder, fullFolder) || !FullPath(Join(folder, fileName), fullFile) ||
        !SameText(ParentDirectory(fullFile), fullFolder)) {
        ::SetLastError(ERROR_BAD_PATHNAME);
        return false;
    }
    path = fullFile;
    return true;
}

DWORD ValidateFilterDll(HANDLE file, FilterArch arch)
{
    if (file == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    FilePeSource source(file);
    return ValidatePeHeaders(source, ArchMachine(arch));
}

}  // namespace vyx::service
