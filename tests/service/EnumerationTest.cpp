// Counting present devices per row over SetupDi, with simulated cameras on the bus.
#include "ConnectedCameras.h"
#include "EventRecorder.h"
#include "ServiceEvents.h"
#include "TestSystem.h"

#include <SimulatedBus.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace vyx::service {
namespace {

using test::Describe;
using test::EventRecorder;

class EnumerationTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(vyx::sim::bus::UnplugAll(), ERROR_SUCCESS); }
    void TearDown() override { vyx::sim::bus::UnplugAll(); }
};

std::wstring InstanceBase(std::size_t row)
{
    return std::wstring(L"USB\\") + CameraModelTable::Row(row).hardwareId;
}

TEST_F(EnumerationTest, CountsMatchingInstancesPerRowAndWarnsOnceForUnknownProducts)
{
    EventRecorder events;
    ASSERT_EQ(vyx::sim::bus::Plug(CameraModelTable::Row(0).displayName, L"A1"), ERROR_SUCCESS);
    ASSERT_EQ(vyx::sim::bus::Plug(CameraModelTable::Row(0).displayName, L"A2"), ERROR_SUCCESS);
    ASSERT_EQ(vyx::sim::bus::Plug(CameraModelTable::Row(5).displayName, L"B1"), ERROR_SUCCESS);
    // Lower-case IDs, a composite device with its interface instance, a product ID with a
    // further digit, an unknown product ID and another vendor.
    std::wstring lower = InstanceBase(7) + L"\\lc1";
    for (wchar_t& c : lower) {
        c = static_cast<wchar_t>(towlower(c));
    }
    ASSERT_EQ(vyx::sim::bus::PlugInstance(lower), ERROR_SUCCESS);
    ASSERT_EQ(vyx::sim::bus::PlugInstance(InstanceBase(9) + L"\\COMPOSITE1"), ERROR_SUCCESS);
    ASSERT_EQ(vyx::sim::bus::PlugInstance(InstanceBase(9) + L"&MI_00\\7&2C4B&0&0000"), ERROR_SUCCESS);
    const std::wstring longer = InstanceBase(11) + L"7\\X1";
    const std::wstring unknown = L"USB\\VID_2A5C&PID_FFFE\\Unknown1";
    ASSERT_EQ(vyx::sim::bus::PlugInstance(longer), ERROR_SUCCESS);
    ASSERT_EQ(vyx::sim::bus::PlugInstance(unknown), ERROR_SUCCESS);
    ASSERT_EQ(vyx::sim::bus::PlugInstance(L"USB\\VID_1234&PID_159A\\OTHER"), ERROR_SUCCESS);

    ConnectedCounts counts;
    counts.fill(99);
    ASSERT_TRUE(EnumerateConnectedCameras(counts));
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const std::uint32_t expected = i == 0 ? 2 : i == 5 ? 1 : i == 7 ? 1 : i == 9 ? 2 : 0;
        EXPECT_EQ(counts[i], expected) << "row " << i;
    }

    const auto warnings = events.Events();
    ASSERT_EQ(warnings.size(), 2u) << Describe(warnings);
    std::vector<std::wstring> lines;
    for (const auto& e : warnings) {
        EXPECT_EQ(e.id, kEventUnknownCamera);
        EXPECT_EQ(e.type, EVENTLOG_WARNING_TYPE);
        lines.push_back(e.line);
    }
    std::sort(lines.begin(), lines.end());
    // The line carries the ID exactly as the system reports it.
    std::vector<std::wstring> expected;
    for (const vyx::sim::bus::PluggedDevice& device : vyx::sim::bus::ListPlugged()) {
        if (_wcsicmp(device.instanceId.c_str(), longer.c_str()) == 0 ||
            _wcsicmp(device.instanceId.c_str(), unknown.c_str()) == 0) {
            expected.push_back(L"Unknown Vyxon camera ignored. deviceId=" + device.instanceId);
        }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected);

    // A second enumeration warns again, once per device, and counts the same.
    ConnectedCounts again;
    ASSERT_TRUE(EnumerateConnectedCameras(again));
    EXPECT_EQ(again, counts);
    EXPECT_EQ(events.WithId(kEventUnknownCamera).size(), 4u);
}

// Windows answers ERROR_INVALID_DATA for an enumerator without any device, where Wine gives
// an empty list; the answer is staged. Any other refusal fails the enumeration.
TEST_F(EnumerationTest, NoDeviceOfTheVendorOrNoUsbDeviceAtAllGivesZeroCounts_EmptyEnumeratorAsOnWindows)
{
    EventRecorder events;
    ASSERT_EQ(vyx::sim::bus::PlugInstance(L"USB\\VID_1234&PID_0001\\OTHER"), ERROR_SUCCESS);
    ASSERT_EQ(vyx::sim::bus::Plug(CameraModelTable::Row(0).displayName), ERROR_SUCCESS);
    sys::ScopedTestHooks hooks;
    for (DWORD refusal : {DWORD{ERROR_SUCCESS}, DWORD{ERROR_INVALID_DATA}}) {
        if (refusal != ERROR_SUCCESS) {
            ASSERT_EQ(vyx::sim::bus::Unplug(CameraModelTable::Row(0).displayName), ERROR_SUCCESS);
            hooks->openPresentUsbDevices = [refusal] {
                ::SetLastError(refusal);
                return static_cast<HDEVINFO>(INVALID_HANDLE_VALUE);
            };
        }
        ConnectedCounts counts;
        counts.fill(7);
        ASSERT_TRUE(EnumerateConnectedCameras(counts));
        for (std::size_t i = 0; i < counts.size(); ++i) {
            EXPECT_EQ(counts[i], refusal == ERROR_SUCCESS && i == 0 ? 1u : 0u) << i;
        }
    }
    EXPECT_TRUE(events.Events().empty()) << Describe(events.Events());

    hooks->openPresentUsbDevices = [] {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return static_cast<HDEVINFO>(INVALID_HANDLE_VALUE);
    };
    ConnectedCounts counts;
    EXPECT_FALSE(EnumerateConnectedCameras(counts));
    const auto lines = events.Events();
    ASSERT_EQ(lines.size(), 1u) << Describe(lines);
    EXPECT_TRUE(test::StartsWith(lines[0].line, L"SetupDiGetClassDevsW failed. error=5 "));
}

}  // namespace
}  // namespace vyx::service
