#include "CameraModelTable.h"

#include <cwchar>
#include <cwctype>
#include <stdexcept>
#include <string>
#include <utility>

namespace vyx::service {

namespace {

template <std::size_t... I>
constexpr std::array<CameraModel, kCameraModelCount> MakeRows(std::index_sequence<I...>)
{
    return {{CameraModel{catalogue::kModels[I].displayNameW, catalogue::kModels[I].dllFileNameW,
                         catalogue::kModels[I].filterClsidText, catalogue::kModels[I].hardwareId,
                         catalogue::kModels[I].friendlyName, catalogue::kModels[I].mediaSourceClsidText}...}};
}

constexpr std::array<CameraModel, kCameraModelCount> kRows =
    MakeRows(std::make_index_sequence<kCameraModelCount>{});

constexpr std::size_t kVendorPrefixLength = std::size(catalogue::kVendorPrefix) - 1;
// Rows' hardware IDs stand directly after "USB\".
constexpr std::size_t kHardwareIdOffset = 4;

std::wstring UpperCopy(const wchar_t* text)
{
    std::wstring copy(text);
    for (wchar_t& c : copy) {
        c = static_cast<wchar_t>(std::towupper(c));
    }
    return copy;
}

bool HasVendorPrefix(const std::wstring& upper)
{
    return upper.compare(0, kVendorPrefixLength, catalogue::kVendorPrefix) == 0;
}

}  // namespace

const CameraModel& CameraModelTable::Row(std::size_t index)
{
    if (index >= kRows.size()) {
        throw std::out_of_range("camera model index");
    }
    return kRows[index];
}

bool IsVendorDeviceInstanceId(const wchar_t* instanceId)
{
    return instanceId != nullptr && HasVendorPrefix(UpperCopy(instanceId));
}

int FindCameraModelIndex(const wchar_t* instanceId)
{
    if (instanceId == nullptr) {
        return -1;
    }
    const std::wstring upper = UpperCopy(instanceId);
    if (!HasVendorPrefix(upper)) {
        return -1;
    }
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        const std::size_t length = std::wcslen(kRows[i].hardwareId);
        if (upper.compare(kHardwareIdOffset, length, kRows[i].hardwareId) != 0) {
            continue;
        }
        const std::size_t next = kHardwareIdOffset + length;
        if (next == upper.size() || upper[next] == L'\\' || upper[next] == L'&') {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace vyx::service
