// The model table against the catalogue, and the matching of device instance IDs to rows.
// Mutated IDs against an independent oracle are service_rules_tests' (ServiceFuzzTest).
#include "CameraModelTable.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace vyx::service {
namespace {

// The rows are the catalogue's own; its tests check their names and identifiers.
TEST(ModelTableTest, HasTheCataloguesRowsAndRefusesIndicesBeyondThem)
{
    ASSERT_EQ(CameraModelTable::Count(), catalogue::kModelCount);
    EXPECT_STREQ(CameraModelTable::Row(catalogue::kModelCount - 1).hardwareId,
                 catalogue::kModels[catalogue::kModelCount - 1].hardwareId);
    for (std::size_t bad : {CameraModelTable::Count(), CameraModelTable::Count() + 1, static_cast<std::size_t>(-1)}) {
        try {
            CameraModelTable::Row(bad);
            ADD_FAILURE() << "no exception at index " << bad;
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "camera model index");
        }
    }
}

int IndexOfProduct(std::uint16_t productId)
{
    for (std::size_t i = 0; i < catalogue::kModelCount; ++i) {
        if (catalogue::kModels[i].productId == productId) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

TEST(ModelTableTest, InstanceIdsMatchTheirRowOnlyWhenTheProductIdEndsCleanly)
{
    const int first = IndexOfProduct(catalogue::kModels[0].productId);
    const int last = static_cast<int>(catalogue::kModelCount) - 1;
    const std::wstring firstId = std::wstring(L"USB\\") + catalogue::kModels[0].hardwareId;
    const std::wstring lastId = std::wstring(L"USB\\") + catalogue::kModels[last].hardwareId;
    std::wstring lower = firstId + L"\\serial1";
    for (wchar_t& c : lower) {
        c = static_cast<wchar_t>(towlower(c));
    }
    struct Case {
        std::wstring id;
        bool vendor;
        int row;
    };
    const Case cases[] = {
        {firstId, true, first},
        {firstId + L"\\SN0001", true, first},
        {firstId + L"&MI_00\\7&1A2B&0&0000", true, first},
        {lower, true, first},
        {lastId + L"\\x", true, last},
        {firstId + L"0\\SN", true, -1},   // a further hex digit: another product ID
        {firstId + L"F", true, -1},
        {firstId + L"G\\SN", true, -1},
        {firstId + L"_\\SN", true, -1},
        {L"USB\\VID_2A5C&PID_FFFF\\SN", true, -1},
        {L"USB\\VID_2A5C&PID_", true, -1},
        {L"usb\\vid_2a5c&pid_", true, -1},
        {L"USB\\VID_2A5C&PID", false, -1},
        {L"USB\\VID_2A5D&PID_159A\\SN", false, -1},
        {L"HID\\VID_2A5C&PID_159A\\SN", false, -1},
        {L" USB\\VID_2A5C&PID_159A", false, -1},
        {L"", false, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.id.begin(), c.id.end()));
        EXPECT_EQ(IsVendorDeviceInstanceId(c.id.c_str()), c.vendor);
        EXPECT_EQ(FindCameraModelIndex(c.id.c_str()), c.row);
    }
    EXPECT_FALSE(IsVendorDeviceInstanceId(nullptr));
    EXPECT_EQ(FindCameraModelIndex(nullptr), -1);
}

}  // namespace
}  // namespace vyx::service
