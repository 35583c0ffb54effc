#pragma once
// The value controls every page uses: trackbars, value texts, spins, and the one binding of a
// numeric setting to its trackbar, value text and spin that every page with sliders uses.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <initializer_list>

namespace vyx {

// Writes printf-formatted text (at most 63 characters) into a control.
void SetControlText(HWND dialog, int id, const char* format, ...);
// Enables or disables each listed control.
void EnableControls(HWND dialog, std::initializer_list<int> ids, bool enable);
bool IsChecked(HWND dialog, int id);

int Clamp(int value, int minimum, int maximum);

// A range as the camera library reports it: maximum, minimum, default.
struct CameraRange {
    int maximum = 0;
    int minimum = 0;
    int defaultValue = 0;
};

// How a slider shows its value: the value's limits in the value's own units, the value of
// one trackbar position, and the value text's format, given value / perPosition. The
// trackbar ranges over the limits divided by perPosition.
struct SliderScale {
    int minimum = 0;
    int maximum = 0;
    int perPosition = 1;
    const char* format = "%d";
};

enum class TimeUnit { Microseconds, Milliseconds, Seconds };

// One numeric setting of a page: a trackbar, a value text and, on most pages, a spin. The
// slider keeps the value; its scale gives range and unit, `send` is the rule that applies the
// value to the camera, `enabled` the rule that enables trackbar and spin.
//
// Threads: the page's user-interface thread.
class Slider {
public:
    struct Controls {
        int trackbar;
        int text;
        int spin;  // 0 when the value has no spin
    };
    using Send = std::function<void(int value)>;
    using Enabled = std::function<bool()>;

    // `spinPositions`: trackbar positions per spin click.
    Slider(Controls controls, int spinPositions, Send send, Enabled enabled = {});

    int Value() const { return m_value; }
    void SetValue(int value) { m_value = value; }
    void SetScale(const SliderScale& scale) { m_scale = scale; }

    // Trackbar range by the scale, then the value's position.
    void SetUp(HWND dialog) const;
    // Value text and trackbar position from the value.
    void Show(HWND dialog) const;
    void ShowText(HWND dialog) const;
    void ShowEnabled(HWND dialog) const;
    // The trackbar's position becomes the value, within the scale's limits.
    void Read(HWND dialog);
    // Apply step: Read, send, show the text.
    void Apply(HWND dialog);
    // The thumb moves to `value`, clamped to the scale's limits, and the apply step runs.
    void MoveTo(HWND dialog, long long value);
    // Spin click: the value moves by minus `delta` clicks (the up arrow reports -1).
    void Spin(HWND dialog, int delta);

    const Controls& Ids() const { return m_controls; }

protected:
    // A new scale the user chose: the value, clamped to its limits, is set up on the trackbar
    // and applied.
    void ApplyScale(HWND dialog, const SliderScale& scale);

private:
    int Position() const { return m_value / m_scale.perPosition; }

    Controls m_controls;
    int m_spinPositions;
    Send m_send;
    Enabled m_enabled;
    SliderScale m_scale;
    int m_value = 0;
};

// A time (Camera Control's exposure in microseconds, Auto Control's longest automatic
// exposure in milliseconds) shown in us, ms or s, the unit giving the scale: whole units from
// 1 to 999, except that the value's own unit starts at the camera's minimum and seconds reach
// the camera's maximum.
class TimeSlider : public Slider {
public:
    // `valueUnit`: what the value counts, and the smallest unit shown.
    TimeSlider(Controls controls, TimeUnit valueUnit, Send send, Enabled enabled = {});

    TimeUnit Unit() const { return m_unit; }
    // The lowest value shown in its own unit and the highest shown in seconds.
    void SetLimits(int minimum, int maximum);
    // The largest unit the value reaches.
    void FitUnit();
    // A unit the user chose: the value, clamped to its limits, is set up on the trackbar and
    // applied.
    void ChooseUnit(HWND dialog, TimeUnit unit);

private:
    SliderScale ScaleOf(TimeUnit unit) const;
    // The unit, and with it the scale; the value stays as it is.
    void SetUnit(TimeUnit unit);

    TimeUnit m_valueUnit;
    TimeUnit m_unit;
    int m_minimum = 0;
    int m_maximum = 0;
};

// A page's sliders, plain and time sliders together.
using SliderList = std::initializer_list<Slider*>;

// The trackbar request codes (the low word of a WM_HSCROLL or WM_VSCROLL) that apply a
// page's slider, one bit per code, for each message.
constexpr unsigned RequestBits(std::initializer_list<int> codes) {
    unsigned bits = 0;
    for (int code : codes) bits |= 1u << code;
    return bits;
}
struct ApplyingRequests {
    unsigned horizontal;
    unsigned vertical;
};
// A page click always applies; a dragged thumb applies as it moves or once it is released.
constexpr unsigned kApplyWhileDragged = RequestBits({TB_PAGEUP, TB_PAGEDOWN, TB_THUMBTRACK});
constexpr unsigned kApplyOnRelease = RequestBits({TB_PAGEUP, TB_PAGEDOWN, TB_THUMBPOSITION});

// Routes a page's trackbar and spin messages to its sliders: a WM_HSCROLL or WM_VSCROLL from
// one of their trackbars whose request is in `applying` runs that slider's apply step, as does
// TB_ENDTRACK (a move by the arrow keys, Page Up/Down, Home/End or the mouse wheel ends with
// it); a spin click (WM_NOTIFY with UDN_DELTAPOS) runs its spin step. Other notifications of
// a spin (NM_RELEASEDCAPTURE is a bare NMHDR) carry no step. True when a slider acted.
bool RouteToSliders(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, const ApplyingRequests& applying,
                    SliderList sliders);

}  // namespace vyx
