#pragma once
// The value controls every page uses: trackbars, value texts and the scroll requests that
// apply a trackbar's value.
#include <windows.h>

#include <initializer_list>

namespace vyx {

// Range (redrawn) then position. The range message packs each limit into 16 bits.
void SetTrackbar(HWND dialog, int id, int minimum, int maximum, int position);
void SetTrackbarRange(HWND dialog, int id, int minimum, int maximum);
void SetTrackbarPosition(HWND dialog, int id, int position);
int TrackbarPosition(HWND dialog, int id);

// Writes printf-formatted text (at most 63 characters) into a control.
void SetControlText(HWND dialog, int id, const char* format, ...);
// Enables or disables each listed control.
void EnableControls(HWND dialog, std::initializer_list<int> ids, bool enable);
bool IsChecked(HWND dialog, int id);

// The trackbar id behind a WM_HSCROLL/WM_VSCROLL whose request code is one of `applying`,
// or 0 when the message applies nothing.
int AppliedTrackbar(HWND dialog, WPARAM wParam, LPARAM lParam, std::initializer_list<int> applying);

int Clamp(int value, int minimum, int maximum);

// A spin click: the value moved by minus `delta` steps (the up arrow reports -1), clamped.
// 64-bit arithmetic: a large delta times the step must not wrap before the clamp.
int SpinStep(int value, int delta, long long step, long long minimum, long long maximum);

}  // namespace vyx
