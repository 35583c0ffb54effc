#include "ReconcilePass.h"

#include "ConnectedCameras.h"
#include "RegistrationAction.h"
#include "RegistrationState.h"
#include "ServiceEvents.h"
#include "SystemFacts.h"

#include <vector>

namespace vyx::service {

ReconcilePass::ReconcilePass(const ServiceSignals& signals)
    : m_signals(signals), m_native64(IsNative64BitWindows())
{}

bool ReconcilePass::Run()
{
    const ULONGLONG start = ::GetTickCount64();

    ConnectedCounts counts;
    if (!EnumerateConnectedCameras(counts)) {
        return false;
    }
    std::vector<ModelRegistrationState> before(kCameraModelCount);
    std::vector<RegistrationAction> plan;
    for (std::uint32_t i = 0; i < kCameraModelCount; ++i) {
        before[i] = QueryModelState(CameraModelTable::Row(i), m_native64);
        PlanModel(plan, i, before[i], counts[i] != 0, m_native64);
    }

    unsigned actionFailures = 0;
    for (const RegistrationAction& action : plan) {
        if (m_signals.StopSignalled()) {
            return false;
        }
        if (!RunRegistrationAction(CameraModelTable::Row(action.modelIndex), action.arch, action.registerFilter,
                                   m_signals.StopEvent())) {
            ++actionFailures;
        }
    }
    // A stop that cut the last action short ends the pass as well: what it would report
    // is only what the stop left half done.
    if (!plan.empty() && m_signals.StopSignalled()) {
        return false;
    }

    unsigned connectedModels = 0;
    unsigned degradedModels = 0;
    for (std::size_t i = 0; i < kCameraModelCount; ++i) {
        const bool connected = counts[i] != 0;
        connectedModels += connected ? 1 : 0;
        const ModelRegistrationState state = QueryModelState(CameraModelTable::Row(i), m_native64);
        if (IsModelAsWanted(state, connected, m_native64)) {
            continue;
        }
        ++degradedModels;
        WriteServiceEvent(EVENTLOG_WARNING_TYPE, kEventModelDegraded,
                          L"model=%ls connectedCount=%u x86Present=%d x86Correct=%d x64Present=%d x64Correct=%d",
                          CameraModelTable::Row(i).displayName, counts[i], state.x86.present ? 1 : 0,
                          state.x86.correct ? 1 : 0, state.x64.present ? 1 : 0, state.x64.correct ? 1 : 0);
    }

    const bool asWanted = degradedModels == 0;
    WriteServiceEvent(asWanted ? EVENTLOG_INFORMATION_TYPE : EVENTLOG_WARNING_TYPE,
                      asWanted ? kEventReconcileSummary : kEventModelDegraded,
                      L"reconcile generation=%ld connectedModels=%u actions=%u actionFailures=%u degradedModels=%u "
                      L"elapsedMs=%llu",
                      static_cast<long>(m_signals.Generation()), connectedModels, static_cast<unsigned>(plan.size()),
                      actionFailures, degradedModels, static_cast<unsigned long long>(::GetTickCount64() - start));
    return asWanted;
}

}  // namespace vyx::service
