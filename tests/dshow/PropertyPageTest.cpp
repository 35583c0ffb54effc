// CBasePropertyPage driven through IPropertyPage as a property frame drives it: the hooks
// and their order, page information from the module's resources, the dirty flag and Apply.
#include <gtest/gtest.h>

#include <windows.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "CBasePropertyPage.h"
#include "DllEntry.h"

using Microsoft::WRL::ComPtr;

namespace {
constexpr int kDialog = 300;
constexpr int kTitle = 301;
constexpr int kButton = 302;

// Records every hook; marks itself dirty on a command, as the pages do.
class RecordingPage : public CBasePropertyPage {
public:
    explicit RecordingPage(std::vector<std::string>* log) : CBasePropertyPage(nullptr, nullptr, kDialog, kTitle), m_log(log) {}
    HRESULT OnConnect(IUnknown*) override { return Note("connect", connectResult); }
    HRESULT OnDisconnect() override { return Note("disconnect", S_OK); }
    HRESULT OnActivate() override { return Note("activate", S_OK); }
    HRESULT OnDeactivate() override { return Note("deactivate", S_OK); }
    HRESULT OnApplyChanges() override { return Note("apply", S_OK); }
    INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_INITDIALOG) Note(m_hwnd == hwnd ? "initdialog" : "initdialog-without-window", S_OK);
        if (message == WM_COMMAND) SetDirty();
        return CBasePropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
    }
    HWND Window() const { return m_hwnd; }
    HRESULT connectResult = S_OK;

private:
    HRESULT Note(const char* what, HRESULT hr) {
        m_log->push_back(what);
        return hr;
    }
    std::vector<std::string>* m_log;
};

struct CountingSite : IPropertyPageSite {
    int changes = 0;
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (riid != IID_IUnknown && riid != IID_IPropertyPageSite) return E_NOINTERFACE;
        *object = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP OnStatusChange(DWORD flags) override {
        if (flags == PROPPAGESTATUS_DIRTY) ++changes;
        return S_OK;
    }
    STDMETHODIMP GetLocaleID(LCID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }
};

struct PropertyPage : ::testing::Test {
    std::vector<std::string> log;
    ComPtr<IPropertyPage> page;
    RecordingPage* raw = nullptr;
    CountingSite site;
    HWND frame = nullptr;

    void SetUp() override {
        g_hInst = GetModuleHandleW(nullptr);
        raw = new RecordingPage(&log);
        ASSERT_EQ(raw->NonDelegatingQueryInterface(IID_IPropertyPage, &page), S_OK);
        frame = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPED, 0, 0, 300, 200, nullptr, nullptr, nullptr,
                                nullptr);
    }
    void TearDown() override {
        page.Reset();
        DestroyWindow(frame);
    }
    void Connect() {
        IUnknown* object = frame ? reinterpret_cast<IUnknown*>(page.Get()) : nullptr;
        ASSERT_EQ(page->SetObjects(1, &object), S_OK);
    }
};
}  // namespace

TEST_F(PropertyPage, HooksRunInTheFramesOrder) {
    ASSERT_EQ(page->SetPageSite(&site), S_OK);
    Connect();
    const RECT place{0, 0, 200, 100};
    ASSERT_EQ(page->Activate(frame, &place, FALSE), S_OK);
    EXPECT_NE(raw->Window(), nullptr);
    EXPECT_EQ(GetParent(raw->Window()), frame);
    EXPECT_TRUE(IsWindowVisible(raw->Window()) || !IsWindowVisible(frame));
    EXPECT_EQ(page->Activate(frame, &place, FALSE), E_UNEXPECTED);  // already active
    ASSERT_EQ(page->Deactivate(), S_OK);
    EXPECT_EQ(raw->Window(), nullptr);
    EXPECT_EQ(page->Deactivate(), E_UNEXPECTED);
    ASSERT_EQ(page->SetObjects(0, nullptr), S_OK);
    EXPECT_EQ(log, (std::vector<std::string>{"connect", "initdialog", "activate", "deactivate", "disconnect"}));
    EXPECT_EQ(page->SetPageSite(nullptr), S_OK);
    EXPECT_EQ(page->SetPageSite(nullptr), E_UNEXPECTED);
}

TEST_F(PropertyPage, RefusesActivationWithoutAnObjectAndReportsConnectFailures) {
    const RECT place{0, 0, 200, 100};
    EXPECT_EQ(page->Activate(frame, &place, FALSE), E_UNEXPECTED);
    EXPECT_EQ(page->Activate(frame, nullptr, FALSE), E_POINTER);
    IUnknown* none = nullptr;
    EXPECT_EQ(page->SetObjects(1, &none), E_POINTER);
    EXPECT_EQ(page->SetObjects(1, nullptr), E_POINTER);
    EXPECT_EQ(page->SetObjects(2, &none), E_UNEXPECTED);
    raw->connectResult = E_NOINTERFACE;
    IUnknown* object = page.Get();
    EXPECT_EQ(page->SetObjects(1, &object), E_NOINTERFACE);
    EXPECT_EQ(page->Activate(frame, &place, FALSE), E_UNEXPECTED);  // the failed object is not set
}

TEST_F(PropertyPage, PageInfoComesFromTheModulesResources) {
    PROPPAGEINFO info{};
    info.cb = sizeof info;
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_STREQ(info.pszTitle, L"Test Page");
    CoTaskMemFree(info.pszTitle);
    Connect();
    const RECT place{0, 0, 1, 1};
    ASSERT_EQ(page->Activate(frame, &place, FALSE), S_OK);
    RECT units{0, 0, 120, 60};
    MapDialogRect(raw->Window(), &units);
    EXPECT_EQ(info.size.cx, units.right);
    EXPECT_EQ(info.size.cy, units.bottom);
    EXPECT_EQ(page->GetPageInfo(nullptr), E_POINTER);
    EXPECT_EQ(page->Show(SW_MAXIMIZE), E_INVALIDARG);
    EXPECT_EQ(page->Help(nullptr), E_NOTIMPL);
    EXPECT_EQ(page->TranslateAccelerator(nullptr), E_NOTIMPL);
    page->Deactivate();
}

TEST_F(PropertyPage, ACommandMarksDirtyAndApplyRunsOnlyWhileDirty) {
    ASSERT_EQ(page->SetPageSite(&site), S_OK);
    Connect();
    const RECT place{0, 0, 200, 100};
    ASSERT_EQ(page->Activate(frame, &place, FALSE), S_OK);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_EQ(page->Apply(), S_OK);
    SendMessageW(GetDlgItem(raw->Window(), kButton), BM_CLICK, 0, 0);
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    EXPECT_EQ(site.changes, 1);
    EXPECT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_EQ(page->Apply(), S_OK);
    int applies = 0;
    for (const std::string& entry : log) applies += entry == "apply";
    EXPECT_EQ(applies, 1);
    page->Deactivate();
    page->SetPageSite(nullptr);
    EXPECT_EQ(page->Apply(), E_UNEXPECTED);  // no site
}
