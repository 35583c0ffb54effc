#pragma once
// The registration state of every model in each examined view as last read, and each
// model's expected library paths, which cannot change while the process runs. A pass reads
// everything only when the registry may have changed (RegistryWatch), and afterwards only
// what its own actions touched.
// Threads: the thread that runs the passes, one at a time.

#include "CameraModelTable.h"
#include "FilterArch.h"
#include "ReconcilePlan.h"

#include <windows.h>

#include <array>
#include <string>

namespace vyx::service {

class RegistrationCache {
public:
    explicit RegistrationCache(bool native64BitWindows);

    // False until the first ReadAll.
    bool Filled() const { return m_filled; }
    // Every model in every examined view; the x64 side stays false on 32-bit Windows.
    void ReadAll();
    void Read(std::size_t modelIndex, FilterArch arch);
    const ModelRegistrationState& State(std::size_t modelIndex) const { return m_states[modelIndex]; }

private:
    void ReadBelow(HKEY classesClsid, std::size_t modelIndex, FilterArch arch);

    // Empty when the row's path cannot be built: such a registration is never correct.
    std::array<std::array<std::wstring, 2>, kCameraModelCount> m_paths;
    std::array<ModelRegistrationState, kCameraModelCount> m_states = {};
    bool m_native64;
    bool m_filled = false;
};

}  // namespace vyx::service
