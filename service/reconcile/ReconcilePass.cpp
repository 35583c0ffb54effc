#include "ReconcilePass.h"

#include "ConnectedCameras.h"
#include "RegistrationAction.h"
#include "ServiceEvents.h"
#include "SystemFacts.h"

#include <array>
#include <vector>

namespace vyx::service {

ReconcilePass::ReconcilePass(const ServiceSignals& signals)
    : m_signals(signals), m_native64(IsNative64BitWindows()), m_cache(m_native64), m_watch(m_native64)
{}

void ReconcilePass::Refresh()
{
    if (m_cache.Filled() && !m_watch.Changed()) {
        return;
    }
    const DWORD error = m_watch.Arm();
    // Unarmed, every pass reads everything: slower, never wrong. Logged once per outage.
    if (error != ERROR_SUCCESS && !m_watchFailureLogged) {
        LogApiFailure(L"RegNotifyChangeKeyValue", error, kEventApiFailure);
    }
    m_watchFailureLogged = error != ERROR_SUCCESS;
    m_cache.ReadAll();
}

bool ReconcilePass::Run()
{
    const ULONGLONG start = ::GetTickCount64();

    ConnectedCounts counts;
    if (!EnumerateConnectedCameras(counts)) {
        return false;
    }
    Refresh();

    std::vector<RegistrationAction> plan;
    for (std::uint32_t i = 0; i < kCameraModelCount; ++i) {
        PlanModel(plan, i, m_cache.State(i), counts[i] != 0, m_native64);
    }

    unsigned actionFailures = 0;
    std::array<bool, kCameraModelCount> x64Unregistered{};
    for (const RegistrationAction& action : plan) {
        if (m_signals.StopSignalled()) {
            return false;
        }
        if (!RunRegistrationAction(CameraModelTable::Row(action.modelIndex), action.arch, action.registerFilter,
                                   m_signals.StopEvent())) {
            ++actionFailures;
        }
        // The action verified itself; only what it touched needs reading again.
        m_cache.Read(action.modelIndex, action.arch);
        x64Unregistered[action.modelIndex] |= action.arch == FilterArch::X64 && !action.registerFilter;
    }
    // A stop that cut the last action short ends the pass as well: what it would report
    // is only what the stop left half done.
    if (!plan.empty() && m_signals.StopSignalled()) {
        return false;
    }
    // The stop is checked only after a helper ran: each check is a server round trip, and
    // a pass where no camera comes or goes must stay that cheap.
    for (std::uint32_t i = 0; i < kCameraModelCount; ++i) {
        const bool wanted = m_native64 && counts[i] != 0 && m_cache.State(i).x64.correct;
        if (m_cameras.Update(i, wanted, x64Unregistered[i], m_signals.StopEvent()) && m_signals.StopSignalled()) {
            return false;
        }
    }

    unsigned connectedModels = 0;
    unsigned degradedModels = 0;
    for (std::size_t i = 0; i < kCameraModelCount; ++i) {
        const bool connected = counts[i] != 0;
        connectedModels += connected ? 1 : 0;
        const ModelRegistrationState& state = m_cache.State(i);
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
