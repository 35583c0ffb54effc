#pragma once
// While it lives, the http, https and mailto schemes of the test's Wine prefix open with
// the link recorder instead of the prefix's browser, so a test sees what a page's
// ShellExecuteA opened. The schemes' own keys come back afterwards.
#include <windows.h>

#include <string>
#include <vector>

namespace vyx::pages::test {

class RecordedLinks {
public:
    RecordedLinks();
    ~RecordedLinks();
    RecordedLinks(const RecordedLinks&) = delete;
    RecordedLinks& operator=(const RecordedLinks&) = delete;

    bool Ready() const { return m_ready; }
    // The links opened so far, once there are `count` of them or after `timeoutMs`.
    std::vector<std::string> WaitFor(size_t count, DWORD timeoutMs = 10000) const;
    // The links opened so far, without waiting.
    std::vector<std::string> Opened() const;

private:
    std::wstring m_log;
    bool m_ready = false;
};

}  // namespace vyx::pages::test
