#include "RegistrationCache.h"

#include "FilterDllPath.h"
#include "RegistrationState.h"

namespace vyx::service {

namespace {

std::size_t Side(FilterArch arch) { return arch == FilterArch::X86 ? 0 : 1; }

}  // namespace

RegistrationCache::RegistrationCache(bool native64BitWindows) : m_native64(native64BitWindows)
{
    for (std::size_t i = 0; i < kCameraModelCount; ++i) {
        for (FilterArch arch : {FilterArch::X86, FilterArch::X64}) {
            std::wstring& path = m_paths[i][Side(arch)];
            if (!BuildDllPath(CameraModelTable::Row(i), arch, path)) {
                path.clear();
            }
        }
    }
}

void RegistrationCache::ReadAll()
{
    for (FilterArch arch : {FilterArch::X86, FilterArch::X64}) {
        if (arch == FilterArch::X64 && !m_native64) {
            continue;
        }
        const win::UniqueRegKey classesClsid = OpenClassesClsid(arch);
        for (std::size_t i = 0; i < kCameraModelCount; ++i) {
            ReadBelow(classesClsid.Get(), i, arch);
        }
    }
    m_filled = true;
}

void RegistrationCache::Read(std::size_t modelIndex, FilterArch arch)
{
    ReadBelow(OpenClassesClsid(arch).Get(), modelIndex, arch);
}

void RegistrationCache::ReadBelow(HKEY classesClsid, std::size_t modelIndex, FilterArch arch)
{
    ModelRegistrationState& state = m_states[modelIndex];
    (arch == FilterArch::X86 ? state.x86 : state.x64) =
        QueryRegistrationState(classesClsid, CameraModelTable::Row(modelIndex), m_paths[modelIndex][Side(arch)]);
}

}  // namespace vyx::service
