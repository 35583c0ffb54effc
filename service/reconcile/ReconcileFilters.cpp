#include "CameraModelTable.h"
#include "Reconcile.h"
#include "Registrar.h"
#include "ServiceEvents.h"
#include "ServiceState.h"

#include <vector>

namespace vyx::service {

namespace {

struct RegistrationAction {
    std::uint32_t modelIndex;
    FilterArch arch;
    bool registerFilter;
};

bool IsAsWanted(const ArchRegistrationState& state, bool connected)
{
    return connected ? state.correct : !state.present;
}

void PlanArch(std::vector<RegistrationAction>& plan, std::uint32_t index, FilterArch arch,
              const ArchRegistrationState& state, bool connected)
{
    if (connected && !state.correct) {
        plan.push_back({index, arch, true});
    } else if (!connected && state.present) {
        plan.push_back({index, arch, false});
    }
}

bool StopSignalled(const ServiceState& state)
{
    return ::WaitForSingleObject(state.stopEvent.Get(), 0) == WAIT_OBJECT_0;
}

}  // namespace

bool ReconcileFilters()
{
    const ULONGLONG start = ::GetTickCount64();
    ServiceState& state = GetServiceState();

    ConnectedCounts counts;
    if (!EnumerateConnectedCameras(counts)) {
        return false;
    }
    const bool native64 = IsNative64BitWindows();

    std::vector<ModelRegistrationState> before(kCameraModelCount);
    for (std::size_t i = 0; i < kCameraModelCount; ++i) {
        before[i] = QueryModelState(CameraModelTable::Row(i), native64);
    }

    std::vector<RegistrationAction> plan;
    for (std::uint32_t i = 0; i < kCameraModelCount; ++i) {
        const bool connected = counts[i] != 0;
        PlanArch(plan, i, FilterArch::X86, before[i].x86, connected);
        if (native64) {
            PlanArch(plan, i, FilterArch::X64, before[i].x64, connected);
        }
    }

    unsigned actionFailures = 0;
    for (const RegistrationAction& action : plan) {
        if (StopSignalled(state)) {
            return false;
        }
        if (!RunRegistrationAction(CameraModelTable::Row(action.modelIndex), action.arch, action.registerFilter,
                                   state.stopEvent.Get())) {
            ++actionFailures;
        }
    }
    // A stop that cut the last action short ends the pass as well: what it would report
    // is only what the stop left half done.
    if (StopSignalled(state)) {
        return false;
    }

    unsigned connectedModels = 0;
    unsigned degradedModels = 0;
    for (std::size_t i = 0; i < kCameraModelCount; ++i) {
        const CameraModel& model = CameraModelTable::Row(i);
        const bool connected = counts[i] != 0;
        if (connected) {
            ++connectedModels;
        }
        const ModelRegistrationState after = QueryModelState(model, native64);
        const bool x86Wanted = IsAsWanted(after.x86, connected);
        const bool x64Wanted = !native64 || IsAsWanted(after.x64, connected);
        if (x86Wanted && x64Wanted) {
            continue;
        }
        ++degradedModels;
        WriteServiceEvent(EVENTLOG_WARNING_TYPE, kEventModelDegraded,
                          L"model=%ls connectedCount=%u x86Present=%d x86Correct=%d x64Present=%d x64Correct=%d",
                          model.displayName, counts[i], after.x86.present ? 1 : 0, after.x86.correct ? 1 : 0,
                          after.x64.present ? 1 : 0, after.x64.correct ? 1 : 0);
    }

    const bool asWanted = degradedModels == 0;
    WriteServiceEvent(asWanted ? EVENTLOG_INFORMATION_TYPE : EVENTLOG_WARNING_TYPE,
                      asWanted ? kEventReconcileSummary : kEventModelDegraded,
                      L"reconcile generation=%ld connectedModels=%u actions=%u actionFailures=%u degradedModels=%u "
                      L"elapsedMs=%llu",
                      static_cast<long>(state.generation.load()), connectedModels, static_cast<unsigned>(plan.size()),
                      actionFailures, degradedModels, static_cast<unsigned long long>(::GetTickCount64() - start));
    return asWanted;
}

}  // namespace vyx::service
