#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "vyx_catalogue.h"

namespace {

using vyx::catalogue::kModels;

std::wstring GuidText(const GUID& g) {
    wchar_t text[40];
    swprintf(text, 40, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned long>(g.Data1),
             g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
             g.Data4[7]);
    return text;
}

bool IsUpperHex(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'); }

}  // namespace

TEST(Catalogue, HasFortyThreeRowsWithUniqueKeys) {
    ASSERT_EQ(vyx::catalogue::kModelCount, 43u);
    std::set<int> productIds;
    std::set<std::string> names, files;
    std::set<std::wstring> guids;
    for (const auto& row : kModels) {
        EXPECT_TRUE(productIds.insert(row.productId).second) << row.displayName;
        EXPECT_TRUE(names.insert(row.displayName).second) << row.displayName;
        std::string lower = row.dllFileName;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(files.insert(lower).second) << row.dllFileName;  // Windows file names ignore case
        EXPECT_TRUE(guids.insert(GuidText(row.filterClsid)).second) << row.displayName;
        for (const GUID& page : row.pageClsids) EXPECT_TRUE(guids.insert(GuidText(page)).second) << row.displayName;
        EXPECT_TRUE(guids.insert(GuidText(row.cameraInstanceIid)).second) << row.displayName;
        EXPECT_TRUE(guids.insert(GuidText(row.mediaSourceClsid)).second) << row.displayName;
        EXPECT_EQ(GuidText(row.mediaSourceClsid), row.mediaSourceClsidText) << row.displayName;
    }
    EXPECT_EQ(guids.size(), 473u);
}

TEST(Catalogue, FileNamesPassTheServicesNameRule) {
    for (const auto& row : kModels) {
        const std::wstring name = row.dllFileNameW;
        EXPECT_FALSE(name.empty());
        EXPECT_EQ(name.find_first_of(L"\\/:"), std::wstring::npos) << row.displayName;
        EXPECT_EQ(name.find(L".."), std::wstring::npos) << row.displayName;
        ASSERT_GE(name.size(), 5u);
        EXPECT_EQ(name.substr(name.size() - 4), L".dll") << row.displayName;
        EXPECT_EQ(name, std::wstring(row.dllFileName, row.dllFileName + std::strlen(row.dllFileName)));
    }
}

TEST(Catalogue, HardwareIdsAreVendorAndProductInUpperHex) {
    for (const auto& row : kModels) {
        const std::wstring id = row.hardwareId;
        ASSERT_EQ(id.size(), 17u) << row.displayName;
        EXPECT_EQ(id.substr(0, 4), L"VID_");
        EXPECT_EQ(id.substr(8, 5), L"&PID_");
        for (int i : {4, 5, 6, 7, 13, 14, 15, 16}) EXPECT_TRUE(IsUpperHex(id[i])) << row.displayName;
        EXPECT_EQ(std::stoi(id.substr(4, 4), nullptr, 16), vyx::catalogue::kVendorId);
        EXPECT_EQ(std::stoi(id.substr(13, 4), nullptr, 16), row.productId);
        EXPECT_EQ(std::wstring(vyx::catalogue::kVendorPrefix), L"USB\\" + id.substr(0, 13));
    }
}

TEST(Catalogue, ClassIdTextMatchesTheGuidInRegistryForm) {
    for (const auto& row : kModels) {
        const std::wstring text = row.filterClsidText;
        EXPECT_EQ(text.size(), 38u);
        EXPECT_EQ(text, GuidText(row.filterClsid)) << row.displayName;
    }
}

TEST(Catalogue, FriendlyNameIsPrefixedOnceWithVyx) {
    int alreadyPrefixed = 0;
    for (const auto& row : kModels) {
        const std::wstring name = row.displayNameW;
        const bool prefixed = name.rfind(L"VYX", 0) == 0;
        alreadyPrefixed += prefixed;
        EXPECT_EQ(std::wstring(row.friendlyName), (prefixed ? L"" : L"VYX ") + name + L" Camera");
    }
    EXPECT_GE(alreadyPrefixed, 2);  // the rule's second branch is exercised by real rows
}

TEST(Catalogue, CapabilitiesAreConsistent) {
    for (const auto& row : kModels) {
        EXPECT_LE(std::string(row.displayName).size(), 19u) << row.displayName;
        ASSERT_GE(row.binFactorCount, 1);
        EXPECT_EQ(row.binFactors[0], 1) << row.displayName;
        for (int i = 0; i < row.binFactorCount; ++i) EXPECT_TRUE(row.binFactors[i] >= 1 && row.binFactors[i] <= 4);
        ASSERT_GE(row.imageFormatCount, 2);
        for (int i = 0; i < row.imageFormatCount; ++i) {
            EXPECT_TRUE(row.imageFormats[i] >= 0 && row.imageFormats[i] <= 4);
            // Colour formats come only from colour sensors.
            if (!row.color) {
                EXPECT_LE(row.imageFormats[i], 1) << row.displayName;
            }
        }
        EXPECT_TRUE(row.sensorModeCount == 0 || row.sensorModeCount >= 2) << row.displayName;
        EXPECT_GE(row.sensorWidth, 1280);
        EXPECT_GE(row.sensorHeight, 960);
    }
}

TEST(Catalogue, SensorsSpanTheRequiredSizes) {
    const std::set<std::pair<int, int>> required = {
        {3216, 2208}, {1936, 1100}, {3856, 2180}, {2472, 2064}, {1280, 960}};
    std::set<std::pair<int, int>> present;
    bool beyond6000x4000 = false;
    for (const auto& row : kModels) {
        present.insert({row.sensorWidth, row.sensorHeight});
        beyond6000x4000 |= row.sensorWidth > 6000 && row.sensorHeight > 4000;
    }
    for (const auto& size : required) EXPECT_TRUE(present.count(size)) << size.first << "x" << size.second;
    EXPECT_TRUE(beyond6000x4000);
}
