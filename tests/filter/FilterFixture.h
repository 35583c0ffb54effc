#pragma once
// The start most filter tests share: a plugged simulated camera of the build's model, no
// saved settings, and a new filter made as the class factory makes it.
#include <gtest/gtest.h>

#include <memory>

#include "FilterTestSupport.h"
#include "SimulatedBus.h"

namespace vyx::test {

class FilterFixture : public ::testing::Test {
protected:
    // A derived SetUp calls this first and returns on HasFatalFailure().
    void SetUp() override {
        vyx::sim::bus::UnplugAll();
        RemoveSettingsFile();
        m_camera = std::make_unique<PluggedCamera>();
        ASSERT_EQ(CreateFilter(&m_filter), S_OK);
    }

    ComApartment m_com;
    std::unique_ptr<PluggedCamera> m_camera;
    ComPtr<IBaseFilter> m_filter;
};

}  // namespace vyx::test
