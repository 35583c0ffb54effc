#pragma once
// The value controls every page uses: trackbars, value texts and the scroll requests that
// apply a trackbar's value.
#include <windows.h>

#include <initializer_list>

namespace vyx {

// Range (redrawn) then position. Each limit goes in a message of its own: TBM_SETRANGE packs
// them into two words that Windows reads as unsigned, which loses a negative minimum.
void SetTrackbar(HWND dialog, int id, int minimum, int maximum, int position);
void SetTrackbarRange(HWND dialog, int id, int minimum, int maximum);
void SetTrackbarPosition(HWND dialog, int id, int position);
int TrackbarPosition(HWND dialog, int id);

// Writes printf-formatted text (at most 63 characters) into a control.
void SetControlText(HWND dialog, int id, const char* format, ...);
// Enables or disables each listed control.
void EnableControls(HWND dialog, std::initializer_list<int> ids, bool enable);
bool IsChecked(HWND dialog, int id);

// The trackbar id behind a WM_HSCROLL/WM_VSCROLL whose request code is one of `applying`
// or TB_ENDTRACK, or 0 when the message applies nothing. A move by the arrow keys, Page
// Up/Down, Home/End or the mouse wheel ends with TB_ENDTRACK, so that is when it applies.
int AppliedTrackbar(HWND dialog, WPARAM wParam, LPARAM lParam, std::initializer_list<int> applying);

// A click on one of `spins`: its id and its step, from a WM_NOTIFY's lParam. Only
// UDN_DELTAPOS carries a step; the other notifications of a spin (NM_RELEASEDCAPTURE when
// the button is released) are a bare NMHDR, and reading a step from them reads past it.
struct SpinClick {
    int id = 0;
    int delta = 0;
};
bool ReadSpinClick(LPARAM lParam, std::initializer_list<int> spins, SpinClick* click);

// Exposure times (Camera Control's exposure, Auto Control's longest automatic exposure)
// are shown in microseconds, milliseconds or seconds: in the largest unit the time
// reaches, never below the page's smallest.
enum class TimeUnit { Microseconds, Milliseconds, Seconds };
TimeUnit FittingUnit(long long microseconds, TimeUnit smallest);
int MicrosecondsPer(TimeUnit unit);
// A count of `unit`s as a value text: "%dus", "%dms" or "%ds".
void SetTimeText(HWND dialog, int id, int count, TimeUnit unit);

int Clamp(int value, int minimum, int maximum);

// A spin click: the value moved by minus `delta` steps (the up arrow reports -1), clamped.
// 64-bit arithmetic: a large delta times the step must not wrap before the clamp.
int SpinStep(int value, int delta, long long step, long long minimum, long long maximum);

}  // namespace vyx
