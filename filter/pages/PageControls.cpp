#include "PageControls.h"

#include <commctrl.h>

#include <cstdarg>
#include <cstdio>
#include <utility>

namespace vyx {
namespace {

// The trackbar behind a scroll message that applies, or 0.
int AppliedTrackbar(HWND dialog, WPARAM wParam, LPARAM lParam, unsigned applying) {
    const int request = LOWORD(wParam);
    const bool applies = request == TB_ENDTRACK || (request < 32 && (applying & (1u << request)) != 0);
    if (!applies || !lParam) return 0;
    const HWND trackbar = reinterpret_cast<HWND>(lParam);
    if (GetParent(trackbar) != dialog) return 0;
    return GetDlgCtrlID(trackbar);
}

}  // namespace

void SetTrackbar(HWND dialog, int id, int minimum, int maximum, int position) {
    SendDlgItemMessageW(dialog, id, TBM_SETRANGEMIN, FALSE, minimum);
    SendDlgItemMessageW(dialog, id, TBM_SETRANGEMAX, TRUE, maximum);
    SetTrackbarPosition(dialog, id, position);
}

void SetTrackbarPosition(HWND dialog, int id, int position) {
    SendDlgItemMessageW(dialog, id, TBM_SETPOS, TRUE, position);
}

int TrackbarPosition(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, TBM_GETPOS, 0, 0));
}

void SetControlText(HWND dialog, int id, const char* format, ...) {
    char text[64];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    SetDlgItemTextA(dialog, id, text);
}

void EnableControls(HWND dialog, std::initializer_list<int> ids, bool enable) {
    for (int id : ids) EnableWindow(GetDlgItem(dialog, id), enable ? TRUE : FALSE);
}

bool IsChecked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

int Clamp(int value, int minimum, int maximum) {
    if (value < minimum) return minimum;
    if (value > maximum) return maximum;
    return value;
}

TimeUnit FittingUnit(long long microseconds, TimeUnit smallest) {
    TimeUnit unit = TimeUnit::Microseconds;
    if (microseconds >= MicrosecondsPer(TimeUnit::Milliseconds)) unit = TimeUnit::Milliseconds;
    if (microseconds >= MicrosecondsPer(TimeUnit::Seconds)) unit = TimeUnit::Seconds;
    return unit < smallest ? smallest : unit;
}

int MicrosecondsPer(TimeUnit unit) {
    switch (unit) {
    case TimeUnit::Microseconds: return 1;
    case TimeUnit::Milliseconds: return 1000;
    case TimeUnit::Seconds: return 1000000;
    }
    return 1;
}

SliderScale TimeScale(TimeUnit unit, TimeUnit valueUnit, int minimum, int maximum) {
    const int perPosition = MicrosecondsPer(unit) / MicrosecondsPer(valueUnit);
    const char* format = unit == TimeUnit::Microseconds ? "%dus" : unit == TimeUnit::Milliseconds ? "%dms" : "%ds";
    SliderScale scale{perPosition, 999 * perPosition, perPosition, format};
    if (unit == valueUnit) scale.minimum = minimum;
    if (unit == TimeUnit::Seconds) scale.maximum = maximum;
    return scale;
}

Slider::Slider(Controls controls, int spinPositions, Send send, Enabled enabled)
    : m_controls(controls), m_spinPositions(spinPositions), m_send(std::move(send)), m_enabled(std::move(enabled)) {}

void Slider::SetUp(HWND dialog) const {
    SetTrackbar(dialog, m_controls.trackbar, m_scale.minimum / m_scale.perPosition,
                m_scale.maximum / m_scale.perPosition, Position());
}

void Slider::Show(HWND dialog) const {
    ShowText(dialog);
    SetTrackbarPosition(dialog, m_controls.trackbar, Position());
}

void Slider::ShowText(HWND dialog) const {
    SetControlText(dialog, m_controls.text, m_scale.format, Position());
}

void Slider::ShowEnabled(HWND dialog) const {
    const bool enable = !m_enabled || m_enabled();
    EnableControls(dialog, {m_controls.trackbar}, enable);
    if (m_controls.spin) EnableControls(dialog, {m_controls.spin}, enable);
}

void Slider::Read(HWND dialog) {
    const int position = Clamp(TrackbarPosition(dialog, m_controls.trackbar), m_scale.minimum / m_scale.perPosition,
                               m_scale.maximum / m_scale.perPosition);
    m_value = position * m_scale.perPosition;
}

// The thumb is not set again: it is where the value came from, and a page that applies
// while the thumb is dragged must not move it under the mouse.
void Slider::Apply(HWND dialog) {
    Read(dialog);
    if (m_send) m_send(m_value);
    ShowText(dialog);
}

void Slider::MoveTo(HWND dialog, long long value) {
    if (value < m_scale.minimum) value = m_scale.minimum;
    if (value > m_scale.maximum) value = m_scale.maximum;
    m_value = static_cast<int>(value);
    SetTrackbarPosition(dialog, m_controls.trackbar, Position());
    Apply(dialog);
}

// 64-bit arithmetic: a large delta times the step must not wrap before the clamp.
void Slider::Spin(HWND dialog, int delta) {
    MoveTo(dialog, m_value - static_cast<long long>(delta) * m_spinPositions * m_scale.perPosition);
}

bool RouteToSliders(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, const ApplyingRequests& applying,
                    std::initializer_list<Slider*> sliders) {
    if (message == WM_HSCROLL || message == WM_VSCROLL) {
        const int id =
            AppliedTrackbar(dialog, wParam, lParam, message == WM_HSCROLL ? applying.horizontal : applying.vertical);
        for (Slider* slider : sliders) {
            if (id == 0 || slider->Ids().trackbar != id) continue;
            slider->Apply(dialog);
            return true;
        }
        return false;
    }
    if (message != WM_NOTIFY) return false;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header || header->code != UDN_DELTAPOS) return false;
    const int id = static_cast<int>(header->idFrom);
    for (Slider* slider : sliders) {
        if (slider->Ids().spin == 0 || slider->Ids().spin != id) continue;
        slider->Spin(dialog, reinterpret_cast<const NMUPDOWN*>(lParam)->iDelta);
        return true;
    }
    return false;
}

}  // namespace vyx
