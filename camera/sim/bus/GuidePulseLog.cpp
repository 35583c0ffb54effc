#include "GuidePulseLog.h"

#include "SimulatedBus.h"
#include "UniqueResource.h"

namespace vyx::sim::bus {
namespace {

constexpr wchar_t kPulseValue[] = L"SimGuidePulses";

DWORD ReadRecords(HKEY key, std::vector<GuidePulseRecord>* records) {
    records->assign(kMaxGuidePulses, GuidePulseRecord{});
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(kMaxGuidePulses * sizeof(GuidePulseRecord));
    const LONG error =
        RegQueryValueExW(key, kPulseValue, nullptr, &type, reinterpret_cast<BYTE*>(records->data()), &bytes);
    if (error == ERROR_FILE_NOT_FOUND) {
        records->clear();
        return ERROR_SUCCESS;
    }
    if (error != ERROR_SUCCESS) return error;
    if (type != REG_BINARY || bytes % sizeof(GuidePulseRecord) != 0) return ERROR_INVALID_DATA;
    records->resize(bytes / sizeof(GuidePulseRecord));
    return ERROR_SUCCESS;
}

}  // namespace

std::int64_t GuideClockUs() {
    LARGE_INTEGER frequency{}, now{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<std::int64_t>(static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart));
}

DWORD AppendGuidePulse(const std::wstring& instanceId, const GuidePulseRecord& record) {
    vyx::win::UniqueRegKey key;
    DWORD error = OpenInstanceKey(instanceId, KEY_READ | KEY_WRITE, key.Put());
    if (error != ERROR_SUCCESS) return error;
    std::vector<GuidePulseRecord> records;
    if (ReadRecords(key.Get(), &records) != ERROR_SUCCESS) records.clear();  // a damaged record starts afresh
    if (records.size() >= kMaxGuidePulses) records.erase(records.begin());
    records.push_back(record);
    return RegSetValueExW(key.Get(), kPulseValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(records.data()),
                          static_cast<DWORD>(records.size() * sizeof(GuidePulseRecord)));
}

DWORD ReadGuidePulses(const std::wstring& instanceId, std::vector<GuidePulseRecord>* records) {
    if (!records) return ERROR_INVALID_PARAMETER;
    records->clear();
    vyx::win::UniqueRegKey key;
    const DWORD error = OpenInstanceKey(instanceId, KEY_READ, key.Put());
    if (error != ERROR_SUCCESS) return error;
    return ReadRecords(key.Get(), records);
}

DWORD ClearGuidePulses(const std::wstring& instanceId) {
    vyx::win::UniqueRegKey key;
    const DWORD error = OpenInstanceKey(instanceId, KEY_WRITE, key.Put());
    if (error != ERROR_SUCCESS) return error;
    const LONG deleted = RegDeleteValueW(key.Get(), kPulseValue);
    return deleted == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : deleted;
}

}  // namespace vyx::sim::bus
