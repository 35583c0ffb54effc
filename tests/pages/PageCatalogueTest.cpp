// Every page of every model's build: created through the build's class factory, activated
// on its camera, clicked, applied and deactivated.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "PageResources.h"
#include "PageTestSupport.h"

using namespace vyx::pages::test;

namespace {
// A click on each page that changes the camera without starting anything (About's buttons
// start the user's browser).
const int kClicks[8] = {IDC_IP_RAW8,  IDC_CC_DEFAULT,   IDC_AC_DEFAULT, IDC_CO_DEFAULT,
                        IDC_ST_NORTH, IDC_TE_COOLER_ON, 0,              IDC_OT_FLIP_HORIZONTAL};

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

TEST(PageCatalogue, EveryPageOfEveryModelCreatesActivatesAppliesAndDeactivates) {
    ComApartment com;
    // Every model in 64-bit builds; in 32-bit ones a colour and a monochrome model, which
    // between them have and lack each capability a page looks at.
    std::vector<const vyx::catalogue::ModelRow*> rows;
    if (sizeof(void*) == 8) {
        for (const auto& row : vyx::catalogue::kModels) rows.push_back(&row);
    } else {
        rows = {&ColorModel(), &MonoModel()};
    }
    for (const auto* row : rows) {
        SCOPED_TRACE(row->displayName);
        InProcessRegistration registration(*row);
        CameraFixture camera(*row);
        ASSERT_NE(camera.Camera(), nullptr);
        for (int slot = 0; slot < 8; ++slot) {
            auto host = camera.OpenPage(static_cast<Slot>(slot), false);
            ASSERT_TRUE(host) << slot;
            EXPECT_EQ(host->Activate(), S_OK) << slot;
            if (kClicks[slot]) host->Click(kClicks[slot]);
            EXPECT_EQ(host->Apply(), S_OK) << slot;
            EXPECT_EQ(host->Deactivate(), S_OK) << slot;
        }
    }
}
