// The simulated USB bus: plugs and unplugs simulated cameras by adding and removing
// device instances "USB\VID_vvvv&PID_pppp\serial" under the system's device enumeration,
// so that SetupDi (present devices) reports them exactly as it would real hardware.
// Used by the vyxsim tool and by tests; the camera library reads the same devices.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "vyx_catalogue.h"

namespace vyx::sim::bus {

struct PluggedDevice {
    std::wstring instanceId;  // as SetupDi reports it
    std::wstring model;       // catalogue display name, empty for unknown product IDs
    std::wstring serial;
};

// Behaviour switches: DWORD values stored with the device instance, 0 or absent for normal
// behaviour. Set them with SetSwitch: the camera library re-reads them when the bus's
// change count moves (BusChanges.h), so a value written past it goes unseen.
inline constexpr wchar_t kSwitchRefuseOpen[] = L"SimRefuseOpen";             // OpenCamera fails
inline constexpr wchar_t kSwitchFailReads[] = L"SimFailReads";               // next N GetImageData fail
inline constexpr wchar_t kSwitchNeverReady[] = L"SimNeverReady";             // IsDataReady always false
inline constexpr wchar_t kSwitchRefuseSetBin[] = L"SimRefuseSetBin";
inline constexpr wchar_t kSwitchRefuseSetImgSize[] = L"SimRefuseSetImgSize";
inline constexpr wchar_t kSwitchRefuseSetImgFormat[] = L"SimRefuseSetImgFormat";
inline constexpr wchar_t kSwitchRefuseSetHardBin[] = L"SimRefuseSetHardBin";
inline constexpr wchar_t kSwitchReportHardBin[] = L"SimReportHardBin";       // hardware bin reads on, capable or not
inline constexpr wchar_t kSwitchRefuseStart[] = L"SimRefuseStartVideoStream";
inline constexpr wchar_t kSwitchFailFrameRateRange[] = L"SimFailFrameRateLimitRange";
inline constexpr wchar_t kSwitchReportImgFormat[] = L"SimReportImgFormat";    // N: GetImgFormat reports N-1
inline constexpr wchar_t kSwitchFailSensorModeInfo[] = L"SimFailSensorModeInfo";  // N: mode N-1's info fails
inline constexpr wchar_t kSwitchFrameRateMinZero[] = L"SimFrameRateMinZero";  // range reports minimum 0
inline constexpr wchar_t kSwitchMaxFrameRate[] = L"SimMaxFrameRate";          // N: range reports maximum N
inline constexpr wchar_t kSwitchNoPacing[] = L"SimNoPacing";                 // a frame is ready at once
inline constexpr wchar_t kSwitchTestPattern[] = L"SimTestPattern";           // deterministic pattern frames
inline constexpr wchar_t kSwitchUsb2Link[] = L"SimUsb2Link";                 // a USB 3 camera on a USB 2 port
inline constexpr wchar_t kSwitchDrift[] = L"SimDrift";                       // field drift, milli-pixels per second
// The sensor reads this temperature in tenths of a degree C (a 32-bit signed value).
inline constexpr wchar_t kSwitchSensorTemperature[] = L"SimSensorTemperature";
// A gate for tests: a start whose first frame is rendered, before the stream begins, sets
// the event kStartHeldEvent and waits up to 10 s for kStartReleaseEvent. Without the two
// events (the test creates them) it goes on.
inline constexpr wchar_t kSwitchHoldStart[] = L"SimHoldStart";
inline constexpr wchar_t kStartHeldEvent[] = L"Local\\VyxSimStartHeld";
inline constexpr wchar_t kStartReleaseEvent[] = L"Local\\VyxSimStartRelease";

// Every switch above, for tools that take a switch by name.
inline constexpr const wchar_t* kSwitchNames[] = {
    kSwitchRefuseOpen,         kSwitchFailReads,          kSwitchNeverReady,
    kSwitchRefuseSetBin,       kSwitchRefuseSetImgSize,   kSwitchRefuseSetImgFormat,
    kSwitchRefuseStart,        kSwitchFailFrameRateRange, kSwitchFrameRateMinZero,
    kSwitchNoPacing,           kSwitchTestPattern,        kSwitchUsb2Link,
    kSwitchDrift,              kSwitchSensorTemperature,  kSwitchRefuseSetHardBin,
    kSwitchReportHardBin,      kSwitchFailSensorModeInfo, kSwitchReportImgFormat,
    kSwitchHoldStart,          kSwitchMaxFrameRate,
};

// Every function returns a Win32 error code (ERROR_SUCCESS on success).
// MODEL is a catalogue display name; SERIAL defaults to a stable per-model value.
DWORD Plug(const std::wstring& model, const std::wstring& serial = L"");
DWORD Unplug(const std::wstring& model, const std::wstring& serial = L"");
DWORD UnplugAll();
// Raw instance IDs, for devices no catalogue row describes (unknown product IDs,
// interface instances of composite devices, other vendors).
DWORD PlugInstance(const std::wstring& instanceId);
DWORD UnplugInstance(const std::wstring& instanceId);
// Plugged devices of the maker's vendor ID, in enumeration order.
std::vector<PluggedDevice> ListPlugged();
DWORD SetSwitch(const std::wstring& instanceId, const wchar_t* name, DWORD value);

// The catalogue row whose display name is `name` (letter case ignored), or null.
const vyx::catalogue::ModelRow* FindModel(const std::wstring& name);
// The serial that Plug uses when none is given.
std::wstring DefaultSerial(const vyx::catalogue::ModelRow& row);
// Splits "USB\VID_vvvv&PID_pppp\serial" of the maker's vendor ID; false for any other form.
bool ParseCameraInstanceId(const std::wstring& instanceId, std::uint16_t* productId, std::wstring* serial);
// Opens the key of a plugged device instance (for reading its switches).
DWORD OpenInstanceKey(const std::wstring& instanceId, REGSAM access, HKEY* key);

}  // namespace vyx::sim::bus
