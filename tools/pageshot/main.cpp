// pageshot MODEL OUTDIR [--hold N SECONDS]: plugs a simulated camera of MODEL, registers its
// build, opens each of its eight property pages in a window of its own and saves the window
// as OUTDIR\<lang>-<n>-<page>.png, <lang> being "zh" when the pages come up in Chinese (user
// language 0x0804) and "en" otherwise. pageshot.sh runs it once per language.
// With --hold, only page N (1 to 8) opens, and it takes the keyboard and the mouse for
// SECONDS, with the dialog keys (Tab, arrows) and its timers working, before its picture is
// saved: for checking a page by hand, or by xdotool under Xvfb.
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ComApartment.h"
#include "PageHost.h"
#include "PngWriter.h"
#include "SimulatedBus.h"

using Microsoft::WRL::ComPtr;

namespace {
const wchar_t* const kPageNames[8] = {L"image-parameters", L"camera-control", L"auto-control", L"color",
                                      L"st4-test",         L"temperature",    L"about",        L"others"};

// Unplugs the camera this run plugged.
struct PluggedModel {
    std::wstring model;
    explicit PluggedModel(std::wstring name) : model(std::move(name)) {}
    ~PluggedModel() { vyx::sim::bus::Unplug(model); }
};

struct WindowDc {
    HWND window;
    HDC dc;
    explicit WindowDc(HWND w) : window(w), dc(GetDC(w)) {}
    ~WindowDc() { ReleaseDC(window, dc); }
};

// The page as drawn on the screen, written as a PNG.
DWORD SaveWindow(HWND window, const std::wstring& path) {
    RECT rect{};
    GetClientRect(window, &rect);
    const int width = rect.right, height = rect.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return GetLastError();
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    {
        WindowDc screen(window);
        BitBlt(memory, 0, 0, width, height, screen.dc, 0, 0, SRCCOPY);
    }
    GdiFlush();
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * 3 * height);
    const auto* source = static_cast<const std::uint8_t*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(static_cast<std::size_t>(y) * width + x) * 3 + c] = source[y * stride + x * 3 + (2 - c)];
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
    vyx::png::ImageView view;
    view.width = width;
    view.height = height;
    view.format = vyx::png::PixelFormat::kRgb24;
    view.pixels = rgb.data();
    view.stride = static_cast<std::size_t>(width) * 3;
    return vyx::png::WriteFile(path, view);
}

std::wstring DllPath(const vyx::catalogue::ModelRow& row) {
    wchar_t dist[MAX_PATH] = {};
    GetEnvironmentVariableW(L"VYX_DIST", dist, MAX_PATH);
    return std::wstring(dist) + (sizeof(void*) == 8 ? L"\\DX_x64\\" : L"\\DX_x86\\") + row.dllFileNameW;
}

HRESULT RegisterBuild(const vyx::catalogue::ModelRow& row) {
    HMODULE module = LoadLibraryW(DllPath(row).c_str());
    if (!module) return HRESULT_FROM_WIN32(GetLastError());
    using Entry = HRESULT(STDAPICALLTYPE*)();
    auto registerServer = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    const HRESULT hr = registerServer ? registerServer() : HRESULT_FROM_WIN32(GetLastError());
    FreeLibrary(module);
    return hr;
}

// Runs the page's messages as a property frame does, dialog keys included, for `seconds`.
void HoldPage(const vyx::pagehost::PageHost& host, DWORD seconds) {
    SetForegroundWindow(host.Window());
    SetFocus(GetNextDlgTabItem(host.Dialog(), nullptr, FALSE));
    const ULONGLONG end = GetTickCount64() + seconds * 1000ull;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (IsDialogMessageW(host.Dialog(), &message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

int Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "pageshot: %s failed: 0x%08lX\n", what, static_cast<unsigned long>(hr));
    return 1;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool hold = argc == 6 && std::wstring(argv[3]) == L"--hold";
    const int heldSlot = hold ? _wtoi(argv[4]) - 1 : -1;
    const DWORD heldSeconds = hold ? static_cast<DWORD>(_wtoi(argv[5])) : 0;
    if ((argc != 3 && !hold) || (hold && (heldSlot < 0 || heldSlot > 7 || heldSeconds == 0))) {
        std::fprintf(stderr, "usage: pageshot MODEL OUTDIR [--hold PAGE(1-8) SECONDS]\n");
        return 2;
    }
    const vyx::catalogue::ModelRow* row = vyx::sim::bus::FindModel(argv[1]);
    if (!row) {
        std::fprintf(stderr, "pageshot: no model named \"%ls\"\n", argv[1]);
        return 2;
    }
    const std::wstring folder = argv[2];
    CreateDirectoryW(folder.c_str(), nullptr);
    const wchar_t* language = GetUserDefaultLangID() == 0x0804 ? L"zh" : L"en";

    // Pages are dialogs: their thread is a single-threaded apartment.
    const vyx::win::ComApartment com(COINIT_APARTMENTTHREADED);
    const DWORD plugged = vyx::sim::bus::Plug(row->displayNameW);
    if (plugged != ERROR_SUCCESS) return Fail("plugging the simulated camera", HRESULT_FROM_WIN32(plugged));
    PluggedModel camera(row->displayNameW);
    HRESULT hr = RegisterBuild(*row);
    if (FAILED(hr)) return Fail("registering the build", hr);
    ComPtr<IBaseFilter> filter;
    hr = CoCreateInstance(row->filterClsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&filter));
    if (FAILED(hr)) return Fail("creating the filter", hr);
    ComPtr<IEnumPins> pins;
    ComPtr<IPin> pin;
    filter->EnumPins(&pins);
    if (!pins || pins->Next(1, &pin, nullptr) != S_OK) return Fail("finding the pin", E_UNEXPECTED);

    for (int slot = 0; slot < 8; ++slot) {
        if (hold && slot != heldSlot) continue;
        std::unique_ptr<vyx::pagehost::PageHost> host;
        IUnknown* object = slot == 0 ? static_cast<IUnknown*>(pin.Get()) : filter.Get();
        hr = vyx::pagehost::PageHost::Create(row->pageClsids[slot], object, &host);
        if (FAILED(hr)) return Fail("creating a page", hr);
        hr = host->Activate();
        if (FAILED(hr)) return Fail("activating a page", hr);
        host->Show();
        if (hold) HoldPage(*host, heldSeconds);
        const std::wstring path =
            folder + L"\\" + language + L"-" + std::to_wstring(slot + 1) + L"-" + kPageNames[slot] + L".png";
        const DWORD written = SaveWindow(host->Dialog(), path);
        if (written != ERROR_SUCCESS) return Fail("writing a picture", HRESULT_FROM_WIN32(written));
        std::printf("%ls\n", path.c_str());
    }
    return 0;
}
