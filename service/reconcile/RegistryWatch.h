#pragma once
// Tells whether anything below HKLM\SOFTWARE\Classes\CLSID, where every filter registration
// lives, may have changed in the watched registry views since the watch was armed: one
// asynchronous RegNotifyChangeKeyValue per view (subtree, names and values) on an event.
// Checking costs one wait with no time-out, however many models there are.
//
// Threads: the worker thread alone arms and checks. On Windows before 8 a watch fires when
// the thread that armed it exits, so it is armed on the thread that checks it; a fire for no
// change costs one full read of the registrations, never a wrong answer.

#include "UniqueResource.h"

#include <windows.h>

namespace vyx::service {

class RegistryWatch {
public:
    // The x86 view, and on 64-bit Windows the x64 view too.
    explicit RegistryWatch(bool native64BitWindows);

    // Re-arms each view whose watch fired or was never armed; 0 when every view is armed,
    // else the first failure's error (that view then counts as changed until it is armed).
    DWORD Arm();
    // True when a view changed since it was armed, or is not armed.
    bool Changed() const;

private:
    struct View {
        REGSAM viewFlag = 0;
        win::UniqueRegKey key;
        win::UniqueHandle fired;  // manual reset, set by the registry
        bool armed = false;
    };
    DWORD ArmView(View& view);

    View m_views[2];
    DWORD m_viewCount;
};

}  // namespace vyx::service
