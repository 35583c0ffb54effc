// The simulated USB bus: plugs and unplugs simulated cameras by adding and removing
// device instances "USB\VID_vvvv&PID_pppp\serial" under the system's device enumeration,
// so that SetupDi (present devices) reports them exactly as it would real hardware.
// Used by the vyxsim tool and by tests; the camera library reads the same devices.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vyxsim {

struct PluggedDevice {
    std::wstring instanceId;  // as SetupDi reports it
    std::wstring model;       // catalogue display name, empty for unknown product IDs
    std::wstring serial;
};

// Behaviour switches: DWORD values stored with the device instance, read live by the
// camera library. 0 or absent means normal behaviour.
inline constexpr wchar_t kSwitchRefuseOpen[] = L"SimRefuseOpen";             // OpenCamera fails
inline constexpr wchar_t kSwitchFailReads[] = L"SimFailReads";               // next N GetImageData fail
inline constexpr wchar_t kSwitchNeverReady[] = L"SimNeverReady";             // IsDataReady always false
inline constexpr wchar_t kSwitchRefuseSetBin[] = L"SimRefuseSetBin";
inline constexpr wchar_t kSwitchRefuseSetImgSize[] = L"SimRefuseSetImgSize";
inline constexpr wchar_t kSwitchRefuseSetImgFormat[] = L"SimRefuseSetImgFormat";
inline constexpr wchar_t kSwitchRefuseStart[] = L"SimRefuseStartVideoStream";
inline constexpr wchar_t kSwitchFailFrameRateRange[] = L"SimFailFrameRateLimitRange";
inline constexpr wchar_t kSwitchFrameRateMinZero[] = L"SimFrameRateMinZero";  // range reports minimum 0
inline constexpr wchar_t kSwitchNoPacing[] = L"SimNoPacing";                 // a frame is ready at once
inline constexpr wchar_t kSwitchTestPattern[] = L"SimTestPattern";           // deterministic pattern frames

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

}  // namespace vyxsim
