#include "TestLayout.h"

#include "InstalledBuilds.h"
#include "MemoryPeSource.h"
#include "FilterDllPath.h"
#include "PathText.h"
#include "TrustedFiles.h"
#include "UniqueResource.h"

namespace vyx::service::test {

std::wstring ExecutableDirectory()
{
    std::wstring path;
    GetServiceExecutablePath(path);
    return ParentDirectory(path);
}

std::wstring LayoutFolder(FilterArch arch) { return ExecutableDirectory() + L"\\" + ArchFolder(arch); }

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    struct FindTraits {
        static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
        static void Close(HANDLE h) { ::FindClose(h); }
    };
    win::UniqueResource<HANDLE, FindTraits> find(::FindFirstFileW((path + L"\\*").c_str(), &data));
    if (find) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(child.c_str());
            }
        } while (::FindNextFileW(find.Get(), &data));
    }
    ::RemoveDirectoryW(path.c_str());
}

void ResetLayout()
{
    for (FilterArch arch : {FilterArch::X86, FilterArch::X64}) {
        RemoveTree(LayoutFolder(arch));
        ::CreateDirectoryW(LayoutFolder(arch).c_str(), nullptr);
        // The service registers a library only with the camera library beside it.
        WriteFileBytes(LayoutFolder(arch) + L"\\" + kCameraLibraryFileName, MinimalPeImage(ArchMachine(arch)));
    }
}

bool WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes)
{
    win::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    DWORD written = 0;
    return bytes.empty() || (::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                         nullptr) &&
                             written == bytes.size());
}

bool CopyFromDist(FilterArch arch, const std::wstring& fileName)
{
    const std::wstring source = vyx::test::DistPath() + L"\\" + ArchFolder(arch) + L"\\" + fileName;
    const std::wstring target = LayoutFolder(arch) + L"\\" + fileName;
    return ::CopyFileW(source.c_str(), target.c_str(), FALSE) != FALSE;
}

bool DistHasFilterBuilds()
{
    const std::wstring dist = vyx::test::DistPath();
    for (const wchar_t* folder : {L"\\DX_x86\\VyxonCamera.dll", L"\\DX_x64\\VyxonCamera.dll"}) {
        if (::GetFileAttributesW((dist + folder).c_str()) == INVALID_FILE_ATTRIBUTES) {
            return false;
        }
    }
    return true;
}

}  // namespace vyx::service::test
