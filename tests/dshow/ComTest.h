#pragma once
// Tests that use COM: each test runs inside its own COM apartment.
#include <objbase.h>

#include <wrl/client.h>

#include <gtest/gtest.h>

#include "ComApartment.h"

namespace vyx::dshow::test {

class ComTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(m_apartment.Result())); }

private:
    vyx::win::ComApartment m_apartment;
};

// Takes over a reference the caller already owns. MinGW's ComPtr::Attach adds a reference
// of its own, unlike the platform's, so it would leak this one.
template <typename T>
Microsoft::WRL::ComPtr<T> Adopt(T* owned)
{
    Microsoft::WRL::ComPtr<T> pointer;
    *pointer.GetAddressOf() = owned;
    return pointer;
}

// Bound for waits on events that a correct framework sets promptly; only a hang reaches it.
constexpr DWORD kHangGuardMs = 20000;

}  // namespace vyx::dshow::test
