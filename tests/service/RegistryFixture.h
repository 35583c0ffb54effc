#pragma once
// Hand-written filter registrations in either registry view, laid out as a filter build
// writes them, with the parts a test wants left out or spelled differently.

#include "CameraModel.h"
#include "FilterArch.h"

#include <gtest/gtest.h>

#include <string>

namespace vyx::service::test {

struct HandRegistration {
    bool classKey = true;
    bool instanceKey = true;
    std::wstring serverPath;
    DWORD serverType = REG_SZ;
    std::wstring instanceClsid;  // empty: the row's own
};

void WriteRegistration(const CameraModel& model, FilterArch arch, const HandRegistration& registration);
void DeleteKeyTree(const std::wstring& path, FilterArch arch);
void RemoveRegistration(const CameraModel& model, FilterArch arch);
// Removes every row's registration in both views.
void RemoveAllRegistrations();

bool KeyExists(const std::wstring& path, FilterArch arch);
std::wstring ClassKeyPath(const CameraModel& model);
std::wstring InstanceKeyPath(const CameraModel& model);

// The layout a filter build's own registration writes, read independently of the
// registrar: class key named by the friendly name, server path and threading model, and
// the video input category entry.
::testing::AssertionResult HasFilterLayout(std::size_t row, FilterArch arch, const std::wstring& path);
// True when no key of the row's filter exists in the view.
bool HasNoFilterKeys(std::size_t row, FilterArch arch);

// Only WRITE_DAC for everyone (the key cannot even be opened for reading, so no tree
// deletion gets past it), or full access again.
bool ProtectKey(const std::wstring& path, FilterArch arch, bool locked);

void SetString(const std::wstring& keyPath, FilterArch arch, const wchar_t* name, const std::wstring& value,
               DWORD type = REG_SZ);

// A test that starts from no simulated device plugged, a fresh layout and no filter
// registration, and leaves no device or registration behind.
class CleanSlateTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace vyx::service::test
