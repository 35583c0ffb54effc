#include "ImageParaPage.h"

#include <cstdio>

#include "ModelDescriptor.h"
#include "PageLanguage.h"
#include "PageResources.h"
#include "ResolutionLadder.h"

namespace vyx {
namespace {
LRESULT ComboMessage(HWND hwnd, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendDlgItemMessageA(hwnd, id, message, wParam, lParam);
}

LRESULT AddComboText(HWND hwnd, int id, const char* text) {
    return ComboMessage(hwnd, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}
}  // namespace

CUnknown* WINAPI ImageParaPage::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
    return CreateLocalizedPage<ImageParaPage>(
        outer, result,
        {IDD_IMAGE_PARAMETERS_EN, IDD_IMAGE_PARAMETERS_ZH, IDS_IMAGE_PARAMETERS_EN, IDS_IMAGE_PARAMETERS_ZH});
}

ImageParaPage::ImageParaPage(LPUNKNOWN outer, int dialogId, int titleId)
    : CCameraPropertyPage(outer, dialogId, titleId) {}

void ImageParaPage::ReadCameraValues() {
    m_instance->GetImgSizeIndex(&m_resolutionIndex);
    m_camera->GetTheProp(&m_prop);
    m_color = m_prop.isColorCamera;
    m_hasSensorModes = m_camera->GetSensorModeCount() > 0;
}

INT_PTR ImageParaPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(hwnd);
        break;
    case WM_COMMAND:
        // This page marks itself changed before acting on the command.
        MarkChangedIfActive(wParam, lParam);
        if (HIWORD(wParam) == CBN_SELCHANGE) {
            if (LOWORD(wParam) == IDC_IP_BIN) FillSizeList(hwnd);
            if (LOWORD(wParam) == IDC_IP_SENSOR_MODE) SendSelectedSensorMode(hwnd);
        }
        return CBasePropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
    }
    return CBasePropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

void ImageParaPage::InitDialog(HWND hwnd) {
    for (int id : {IDC_IP_COLOR_SPACE, IDC_IP_GREY_LABEL, IDC_IP_RAW8, IDC_IP_RAW16})
        EnableWindow(GetDlgItem(hwnd, id), TRUE);
    for (int id : {IDC_IP_COLOR_LABEL, IDC_IP_RGB24, IDC_IP_YUY2, IDC_IP_GRAY8})
        EnableWindow(GetDlgItem(hwnd, id), m_color);
    CheckCurrentFormat(hwnd);
    FillSensorModes(hwnd);
    FillBinList(hwnd);
    FillSizeList(hwnd);
}

void ImageParaPage::CheckCurrentFormat(HWND hwnd) {
    if (m_color) {
        ImageFormat format = IMG_RGB24;
        m_camera->GetImgFormat(&format);
        int button = 0;
        switch (format) {
        case IMG_RAW8: button = IDC_IP_RAW8; break;
        case IMG_RAW16: button = IDC_IP_RAW16; break;
        case IMG_RGB24: button = IDC_IP_RGB24; break;
        case IMG_Y8: button = IDC_IP_GRAY8; break;
        case IMG_YUY2: button = IDC_IP_YUY2; break;
        default:
            // Through the pin, which refuses while streaming and keeps its own record of
            // the format; RGB24 shows either way, for Apply to set.
            m_instance->SetImgFormat(IMG_RGB24);
            button = IDC_IP_RGB24;
        }
        CheckDlgButton(hwnd, button, BST_CHECKED);
        return;
    }
    ImageFormat format = IMG_RAW8;
    m_camera->GetImgFormat(&format);
    CheckDlgButton(hwnd, format == IMG_RAW16 ? IDC_IP_RAW16 : IDC_IP_RAW8, BST_CHECKED);
}

void ImageParaPage::FillSensorModes(HWND hwnd) {
    ComboMessage(hwnd, IDC_IP_SENSOR_MODE, CB_RESETCONTENT);
    EnableWindow(GetDlgItem(hwnd, IDC_IP_SENSOR_MODE), m_hasSensorModes);
    EnableWindow(GetDlgItem(hwnd, IDC_IP_SENSOR_MODE_LABEL), m_hasSensorModes);
    if (!m_hasSensorModes) return;
    const int count = m_camera->GetSensorModeCount();
    for (int index = 0; index < count; ++index) {
        char name[64] = {};
        char description[128] = {};
        if (!m_camera->GetSensorModeInfo(index, name, description)) continue;
        name[sizeof name - 1] = '\0';  // a 64-character name arrives unterminated
        // A mode whose description fails is left out, so each item keeps its mode index.
        const LRESULT position = AddComboText(hwnd, IDC_IP_SENSOR_MODE, name);
        if (position >= 0) ComboMessage(hwnd, IDC_IP_SENSOR_MODE, CB_SETITEMDATA, position, index);
    }
    int mode = 0;
    m_camera->GetSensorMode(&mode);
    const LRESULT items = ComboMessage(hwnd, IDC_IP_SENSOR_MODE, CB_GETCOUNT);
    for (LRESULT position = 0; position < items; ++position) {
        if (ComboMessage(hwnd, IDC_IP_SENSOR_MODE, CB_GETITEMDATA, position) == mode)
            ComboMessage(hwnd, IDC_IP_SENSOR_MODE, CB_SETCURSEL, position);
    }
}

void ImageParaPage::SendSelectedSensorMode(HWND hwnd) {
    const LRESULT position = ComboMessage(hwnd, IDC_IP_SENSOR_MODE, CB_GETCURSEL);
    if (position < 0) return;
    m_camera->SetSensorMode(static_cast<int>(ComboMessage(hwnd, IDC_IP_SENSOR_MODE, CB_GETITEMDATA, position)));
}

void ImageParaPage::FillBinList(HWND hwnd) {
    ComboMessage(hwnd, IDC_IP_BIN, CB_RESETCONTENT);
    int current = 1;
    m_camera->GetBin(&current);
    int selected = 0;
    for (int i = 0; i < 16 && m_prop.supportedBins[i] != 0; ++i) {
        const int bin = m_prop.supportedBins[i];
        char text[16];
        snprintf(text, sizeof text, "%dx%d", bin, bin);
        AddComboText(hwnd, IDC_IP_BIN, text);
        if (bin == current) selected = i;
    }
    ComboMessage(hwnd, IDC_IP_BIN, CB_SETCURSEL, selected);
}

// A size chosen but not yet applied stays chosen when the bin changes; a new list starts at
// the pin's size.
void ImageParaPage::FillSizeList(HWND hwnd) {
    const LRESULT chosen = ComboMessage(hwnd, IDC_IP_SIZE, CB_GETCURSEL);
    const WPARAM selected = chosen >= 0 ? chosen : m_resolutionIndex;
    ComboMessage(hwnd, IDC_IP_SIZE, CB_RESETCONTENT);
    const int bin = SelectedBin(hwnd);
    for (int i = 0; i < g_ModelDescriptor.resolutionCount; ++i) {
        const Resolution entry = g_ModelDescriptor.resolutions[i];
        const Resolution shown = bin == 1 ? entry : FrameSizeAtBin(entry, bin);
        char text[32];
        snprintf(text, sizeof text, "%dX%d", static_cast<int>(shown.width), static_cast<int>(shown.height));
        AddComboText(hwnd, IDC_IP_SIZE, text);
    }
    ComboMessage(hwnd, IDC_IP_SIZE, CB_SETCURSEL, selected);
}

int ImageParaPage::SelectedBin(HWND hwnd) const {
    const int position = static_cast<int>(ComboMessage(hwnd, IDC_IP_BIN, CB_GETCURSEL));
    if (position < 0 || position >= 16 || m_prop.supportedBins[position] == 0) return 1;
    return m_prop.supportedBins[position];
}

ImageFormat ImageParaPage::SelectedFormat(HWND hwnd) const {
    auto checked = [hwnd](int id) { return IsDlgButtonChecked(hwnd, id) == BST_CHECKED; };
    if (m_color) {
        if (checked(IDC_IP_RGB24)) return IMG_RGB24;
        if (checked(IDC_IP_YUY2)) return IMG_YUY2;
        if (checked(IDC_IP_RAW8)) return IMG_RAW8;
        if (checked(IDC_IP_RAW16)) return IMG_RAW16;
        if (checked(IDC_IP_GRAY8)) return IMG_Y8;
        return IMG_RGB24;
    }
    if (checked(IDC_IP_RAW8)) return IMG_RAW8;
    if (checked(IDC_IP_RAW16)) return IMG_RAW16;
    return IMG_RAW8;
}

HRESULT ImageParaPage::OnApplyChanges() {
    // Without a dialog there are no selections to apply.
    if (!m_hwnd) return S_OK;
    const int index = static_cast<int>(ComboMessage(m_hwnd, IDC_IP_SIZE, CB_GETCURSEL));
    const ImageFormat format = SelectedFormat(m_hwnd);
    const int bin = SelectedBin(m_hwnd);
    // The first refusal (a running stream, a size or bin the camera does not take) is the
    // answer, so the frame keeps the page changed and the choice can be applied again.
    HRESULT result = m_instance->SetBin(bin);
    const HRESULT sizeResult = m_instance->SetImgSizeIndex(index);
    if (SUCCEEDED(result)) result = sizeResult;
    const HRESULT formatResult = m_instance->SetImgFormat(format);
    if (SUCCEEDED(result)) result = formatResult;
    return result;
}

}  // namespace vyx
