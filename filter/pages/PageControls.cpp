#include "PageControls.h"

#include <commctrl.h>

#include <cstdarg>
#include <cstdio>

namespace vyx {

void SetTrackbarRange(HWND dialog, int id, int minimum, int maximum) {
    SendDlgItemMessageW(dialog, id, TBM_SETRANGEMIN, FALSE, minimum);
    SendDlgItemMessageW(dialog, id, TBM_SETRANGEMAX, TRUE, maximum);
}

void SetTrackbarPosition(HWND dialog, int id, int position) {
    SendDlgItemMessageW(dialog, id, TBM_SETPOS, TRUE, position);
}

void SetTrackbar(HWND dialog, int id, int minimum, int maximum, int position) {
    SetTrackbarRange(dialog, id, minimum, maximum);
    SetTrackbarPosition(dialog, id, position);
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

int AppliedTrackbar(HWND dialog, WPARAM wParam, LPARAM lParam, std::initializer_list<int> applying) {
    const int request = LOWORD(wParam);
    bool applies = request == TB_ENDTRACK;
    for (int code : applying) applies = applies || code == request;
    if (!applies || !lParam) return 0;
    const HWND trackbar = reinterpret_cast<HWND>(lParam);
    if (GetParent(trackbar) != dialog) return 0;
    return GetDlgCtrlID(trackbar);
}

bool ReadSpinClick(LPARAM lParam, std::initializer_list<int> spins, SpinClick* click) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header || header->code != UDN_DELTAPOS) return false;
    const int id = static_cast<int>(header->idFrom);
    for (int spin : spins) {
        if (spin != id) continue;
        click->id = id;
        click->delta = reinterpret_cast<const NMUPDOWN*>(lParam)->iDelta;
        return true;
    }
    return false;
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

void SetTimeText(HWND dialog, int id, int count, TimeUnit unit) {
    const char* format = unit == TimeUnit::Microseconds ? "%dus" : unit == TimeUnit::Milliseconds ? "%dms" : "%ds";
    SetControlText(dialog, id, format, count);
}

int Clamp(int value, int minimum, int maximum) {
    if (value < minimum) return minimum;
    if (value > maximum) return maximum;
    return value;
}

int SpinStep(int value, int delta, long long step, long long minimum, long long maximum) {
    long long next = value - static_cast<long long>(delta) * step;
    if (next < minimum) next = minimum;
    if (next > maximum) next = maximum;
    return static_cast<int>(next);
}

}  // namespace vyx
