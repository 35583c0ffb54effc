#include "ReconcilePlan.h"

namespace vyx::service {

namespace {

void PlanArch(std::vector<RegistrationAction>& plan, std::uint32_t modelIndex, FilterArch arch,
              const ArchRegistrationState& state, bool connected)
{
    if (connected && !state.correct) {
        plan.push_back({modelIndex, arch, true});
    } else if (!connected && state.present) {
        plan.push_back({modelIndex, arch, false});
    }
}

}  // namespace

bool IsAsWanted(const ArchRegistrationState& state, bool connected)
{
    return connected ? state.correct : !state.present;
}

bool IsModelAsWanted(const ModelRegistrationState& state, bool connected, bool native64BitWindows)
{
    return IsAsWanted(state.x86, connected) && (!native64BitWindows || IsAsWanted(state.x64, connected));
}

void PlanModel(std::vector<RegistrationAction>& plan, std::uint32_t modelIndex, const ModelRegistrationState& state,
               bool connected, bool native64BitWindows)
{
    PlanArch(plan, modelIndex, FilterArch::X86, state.x86, connected);
    if (native64BitWindows) {
        PlanArch(plan, modelIndex, FilterArch::X64, state.x64, connected);
    }
}

}  // namespace vyx::service
