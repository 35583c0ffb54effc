#pragma once
// Shared set-up of the page tests: an installed build registered with the platform's
// regsvr32, a plugged simulated camera, the filter made by COM from the registry, and
// page hosts made through the build's class factory.
#include <windows.h>

#include "ComApartment.h"
#include <dshow.h>
#include <wrl/client.h>

#include <memory>
#include <string>

#include "ICameraInstance.h"
#include "InstalledBuilds.h"
#include "PageHost.h"
#include "vyx_catalogue.h"

namespace vyx::pages::test {

using Microsoft::WRL::ComPtr;
using vyx::pagehost::PageHost;

// Pages are dialogs: their thread is a single-threaded apartment.
struct ComApartment : vyx::win::ComApartment {
    ComApartment() : vyx::win::ComApartment(COINIT_APARTMENTTHREADED) {}
};

// Page slots in the class-table order of the catalogue's page identifiers.
enum Slot { kImageParameters, kCameraControl, kAutoControl, kColor, kST4Test, kTemperature, kAbout, kOthers };

// A control of each page whose click changes the camera without starting anything (About's
// buttons start the user's browser: none there).
extern const int kHarmlessClicks[8];

const vyx::catalogue::ModelRow& Model(const wchar_t* name);
const vyx::catalogue::ModelRow& ColorModel();  // colour, cooled, USB 3, with sensor modes
const vyx::catalogue::ModelRow& MonoModel();   // monochrome, USB 2, no sensor modes

using vyx::test::DllPath;
using vyx::test::Register;
using vyx::test::Unregister;
// A value under HKLM\Software\Classes; "<none>" when the key or value is missing.
std::wstring ClassesValue(const std::wstring& key, const wchar_t* name);
std::wstring GuidText(const GUID& guid);

// One plugged camera of `row`, its build registered, its filter created through COM.
class CameraFixture {
public:
    // `simSwitch`, when given, is switched on before the filter opens the camera.
    explicit CameraFixture(const vyx::catalogue::ModelRow& row, const wchar_t* simSwitch = nullptr);
    ~CameraFixture();
    const vyx::catalogue::ModelRow& Row() const { return m_row; }
    IBaseFilter* Filter() const { return m_filter.Get(); }
    IPin* Pin() const { return m_pin.Get(); }
    ICameraInstance* Instance() const { return m_instance.Get(); }
    VyxonCamera* Camera() const { return m_camera; }
    const std::wstring& InstanceId() const { return m_instanceId; }
    // Creates page `slot`, connected to the pin for Image Parameters, else to the filter.
    std::unique_ptr<PageHost> OpenPage(Slot slot, bool activate = true) const;

private:
    const vyx::catalogue::ModelRow& m_row;
    std::wstring m_instanceId;
    ComPtr<IBaseFilter> m_filter;
    ComPtr<IPin> m_pin;
    ComPtr<ICameraInstance> m_instance;
    VyxonCamera* m_camera = nullptr;
};

// Resolution-list position whose bin-1 text is `text` (for example "1280X720"), or -1.
int SizeIndex(const PageHost& page, int comboId, const std::wstring& text);

// Live GDI objects of this process. Wine's GetGuiResources answers 0: there the low word
// of a GDI handle is its slot in the process's table, and the slot alone names the object.
DWORD GdiObjectCount();
// Windows of the calling thread, top-level and children.
DWORD ThreadWindowCount();

// Starts from no saved settings, so no earlier test's values reach the camera.
void RemoveSettingsFile();

}  // namespace vyx::pages::test
