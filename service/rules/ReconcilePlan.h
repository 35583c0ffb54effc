#pragma once
// What a reconcile pass wants of each model, and the actions that close the gap: a model's
// builds are registered, for x86 and on 64-bit Windows for x64, exactly while one of its
// devices is present. Pure: any thread.

#include "FilterArch.h"

#include <cstdint>
#include <vector>

namespace vyx::service {

struct ArchRegistrationState {
    bool present = false;  // its class key or its category entry exists
    bool correct = false;  // both exist and name the expected library and class
};

struct ModelRegistrationState {
    ArchRegistrationState x86;
    ArchRegistrationState x64;  // both false when Windows is 32-bit
};

struct RegistrationAction {
    std::uint32_t modelIndex;
    FilterArch arch;
    bool registerFilter;  // else unregister
};

// Connected: correct; not connected: not present.
bool IsAsWanted(const ArchRegistrationState& state, bool connected);
// Both sides as wanted; the x64 side always is on 32-bit Windows.
bool IsModelAsWanted(const ModelRegistrationState& state, bool connected, bool native64BitWindows);

// Appends the model's actions, x86 before x64: register what is not correct while it is
// connected, unregister what is present while it is not.
void PlanModel(std::vector<RegistrationAction>& plan, std::uint32_t modelIndex, const ModelRegistrationState& state,
               bool connected, bool native64BitWindows);

}  // namespace vyx::service
