// Every page of the models' builds: created through the build's class factory, activated
// on its camera unchanged, clicked (changed), applied (unchanged again) and deactivated
// (its dialog gone). The normal run takes one model of each
// set of capabilities the pages look at; VYX_PAGE_CATALOGUE=all takes every model.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <tuple>
#include <vector>

#include "PageTestSupport.h"

using namespace vyx::pages::test;

namespace {
// What decides which controls a page shows or disables: the colour page's notice, the ST4
// page's notice, the cooler's controls, the bandwidth range, hardware bin and sensor modes.
using Capabilities = std::tuple<bool, bool, bool, bool, bool, bool>;
Capabilities CapabilitiesOf(const vyx::catalogue::ModelRow& row) {
    return {row.color, row.st4Port, row.cooler, row.usb3, row.hardwareBin, row.sensorModeCount > 0};
}

std::vector<const vyx::catalogue::ModelRow*> ModelsToRun() {
    const char* choice = std::getenv("VYX_PAGE_CATALOGUE");
    const bool all = choice && std::strcmp(choice, "all") == 0;
    std::set<Capabilities> seen;
    std::vector<const vyx::catalogue::ModelRow*> rows;
    for (const auto& row : vyx::catalogue::kModels)
        if (all || seen.insert(CapabilitiesOf(row)).second) rows.push_back(&row);
    return rows;
}

// The build's own DllRegisterServer, in this process: far quicker than a regsvr32 per model.
class InProcessRegistration {
public:
    explicit InProcessRegistration(const vyx::catalogue::ModelRow& row)
        : m_module(LoadLibraryW(DllPath(row).c_str())) {
        EXPECT_EQ(Call("DllRegisterServer"), S_OK);
    }
    ~InProcessRegistration() {
        EXPECT_EQ(Call("DllUnregisterServer"), S_OK);
        if (m_module) FreeLibrary(m_module);
    }
    InProcessRegistration(const InProcessRegistration&) = delete;
    InProcessRegistration& operator=(const InProcessRegistration&) = delete;

private:
    HRESULT Call(const char* entry) const {
        if (!m_module) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
        using Entry = HRESULT(STDAPICALLTYPE*)();
        auto function = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(m_module, entry)));
        return function ? function() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    HMODULE m_module;
};
}  // namespace

TEST(PageCatalogue, EveryPageCreatesActivatesAppliesAndDeactivates) {
    ComApartment com;
    for (const auto* row : ModelsToRun()) {
        SCOPED_TRACE(row->displayName);
        InProcessRegistration registration(*row);
        CameraFixture camera(*row);
        ASSERT_NE(camera.Camera(), nullptr);
        for (int slot = 0; slot < 8; ++slot) {
            auto host = camera.OpenPage(static_cast<Slot>(slot), false);
            ASSERT_TRUE(host) << slot;
            EXPECT_EQ(host->Activate(), S_OK) << slot;
            EXPECT_FALSE(host->Dirty()) << slot << ": opening is no change";
            if (kHarmlessClicks[slot]) {
                host->Click(kHarmlessClicks[slot]);
                EXPECT_TRUE(host->Dirty()) << slot;
            }
            EXPECT_EQ(host->Apply(), S_OK) << slot;
            EXPECT_FALSE(host->Dirty()) << slot << ": applied";
            const HWND dialog = host->Dialog();
            EXPECT_EQ(host->Deactivate(), S_OK) << slot;
            EXPECT_FALSE(IsWindow(dialog)) << slot << ": the dialog, and its timers, are gone";
        }
    }
}
