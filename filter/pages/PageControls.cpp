#include "PageControls.h"

#include <commctrl.h>

#include <cstdarg>
#include <cstdio>
#include <utility>

namespace vyx {
namespace {

// Range (redrawn) then position. Each limit goes in a message of its own: TBM_SETRANGE packs
// them into two words that Windows reads as unsigned, which loses a negative minimum.
void SetTrackbar(HWND dialog, int id, int minimum, int maximum, int position) {
    SendDlgItemMessageW(dialog, id, TBM_SETRANGEMIN, FALSE, minimum);
    SendDlgItemMessageW(dialog, id, TBM_SETRANGEMAX, TRUE, maximum);
    SendDlgItemMessageW(dialog, id, TBM_SETPOS, TRUE, position);
}

void SetTrackbarPosition(HWND dialog, int id, int position) {
    SendDlgItemMessageW(dialog, id, TBM_SETPOS, TRUE, position);
}

int TrackbarPosition(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, TBM_GETPOS, 0, 0));
}

int MicrosecondsPer(TimeUnit unit) {
    switch (unit) {
    case TimeUnit::Microseconds: return 1;
    case TimeUnit::Milliseconds: return 1000;
    case TimeUnit::Seconds: return 1000000;
    }
    return 1;
}

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

void Slider::ApplyScale(HWND dialog, const SliderScale& scale) {
    m_scale = scale;
    m_value = Clamp(m_value, scale.minimum, scale.maximum);
    SetUp(dialog);
    Apply(dialog);
}

// 64-bit arithmetic: a large delta times the step must not wrap before the clamp.
void Slider::Spin(HWND dialog, int delta) {
    MoveTo(dialog, m_value - static_cast<long long>(delta) * m_spinPositions * m_scale.perPosition);
}

TimeSlider::TimeSlider(Controls controls, TimeUnit valueUnit, Send send, Enabled enabled)
    : Slider(controls, 1, std::move(send), std::move(enabled)), m_valueUnit(valueUnit), m_unit(valueUnit) {}

void TimeSlider::SetLimits(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = maximum;
    SetUnit(m_unit);
}

SliderScale TimeSlider::ScaleOf(TimeUnit unit) const {
    const int perPosition = MicrosecondsPer(unit) / MicrosecondsPer(m_valueUnit);
    const char* format = unit == TimeUnit::Microseconds ? "%dus" : unit == TimeUnit::Milliseconds ? "%dms" : "%ds";
    SliderScale scale{perPosition, 999 * perPosition, perPosition, format};
    if (unit == m_valueUnit) scale.minimum = m_minimum;
    if (unit == TimeUnit::Seconds) scale.maximum = m_maximum;
    return scale;
}

void TimeSlider::SetUnit(TimeUnit unit) {
    m_unit = unit;
    SetScale(ScaleOf(unit));
}

void TimeSlider::FitUnit() {
    const long long microseconds = static_cast<long long>(Value()) * MicrosecondsPer(m_valueUnit);
    TimeUnit unit = m_valueUnit;
    if (microseconds >= MicrosecondsPer(TimeUnit::Milliseconds) && unit < TimeUnit::Milliseconds)
        unit = TimeUnit::Milliseconds;
    if (microseconds >= MicrosecondsPer(TimeUnit::Seconds)) unit = TimeUnit::Seconds;
    SetUnit(unit);
}

void TimeSlider::ChooseUnit(HWND dialog, TimeUnit unit) {
    m_unit = unit;
    ApplyScale(dialog, ScaleOf(unit));
}

bool RouteToSliders(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, const ApplyingRequests& applying,
                    SliderList sliders) {
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
