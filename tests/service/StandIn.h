#pragma once
// Points the registrar at the stand-in registration program for the life of the object
// (through the test platform's hooks) and sets its behaviour; reads back when and how it
// was started.

#include "TestSystem.h"
#include "UniqueResource.h"

#include <windows.h>

#include <string>
#include <vector>

namespace vyx::service::test {

inline constexpr wchar_t kStandInAliveMutex[] = L"VyxStandInAlive";

class StandIn {
public:
    explicit StandIn(const wchar_t* mode);
    ~StandIn();
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    // Signalled (auto reset) each time the stand-in has started.
    HANDLE Started() const { return m_started.Get(); }
    // One entry per start: the tick it logged, and its command line.
    std::vector<ULONGLONG> StartTicks() const;
    std::vector<std::wstring> CommandLines() const;
    static std::wstring ProgramPath();

private:
    std::vector<std::wstring> LogLines() const;

    sys::ScopedTestHooks m_hooks;
    std::wstring m_logPath;
    win::UniqueHandle m_started;
};

bool StandInStillRunning();

}  // namespace vyx::service::test
