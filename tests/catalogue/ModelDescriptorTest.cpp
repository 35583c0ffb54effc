#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

#include "ModelDescriptor.h"
#include "vyx_catalogue.h"

namespace {
const auto& kRow = vyx::catalogue::kModels[VYX_DESCRIPTOR_MODEL_INDEX];
const auto& kDescriptor = vyx::g_ModelDescriptor;
}  // namespace

TEST(ModelDescriptor, AgreesWithItsCatalogueRow) {
    EXPECT_STREQ(kDescriptor.displayName, kRow.displayName);
    EXPECT_STREQ(kDescriptor.friendlyName, kRow.friendlyName);
    EXPECT_EQ(kDescriptor.vendorId, vyx::catalogue::kVendorId);
    EXPECT_EQ(kDescriptor.productId, kRow.productId);
    EXPECT_EQ(kDescriptor.sensorWidth, kRow.sensorWidth);
    EXPECT_EQ(kDescriptor.sensorHeight, kRow.sensorHeight);
    EXPECT_TRUE(IsEqualGUID(kDescriptor.filterClsid, kRow.filterClsid));
    EXPECT_TRUE(IsEqualGUID(kDescriptor.cameraInstanceIid, kRow.cameraInstanceIid));
    EXPECT_TRUE(IsEqualGUID(kDescriptor.mediaSourceClsid, kRow.mediaSourceClsid));
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(IsEqualGUID(kDescriptor.pageClsids[i], kRow.pageClsids[i])) << i;
}

TEST(ModelDescriptor, ResolutionListIsTheBuildsConstantLadder) {
    ASSERT_EQ(kDescriptor.sensorWidth, 3216);
    ASSERT_EQ(kDescriptor.resolutionCount, 22);
    EXPECT_EQ(kDescriptor.resolutions[0], (vyx::Resolution{3216, 2208}));
    EXPECT_EQ(kDescriptor.resolutions[1], (vyx::Resolution{2560, 1440}));
    EXPECT_EQ(kDescriptor.resolutions[21], (vyx::Resolution{320, 240}));
}
