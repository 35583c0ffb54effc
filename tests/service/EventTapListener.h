#pragma once
// Reads the event taps of VYXCamService.exe processes while it lives, so a test sees the
// lines that the commands and the service itself write. Each such process serves its own
// pipe; the listener looks for new processes of that name and reads each one's pipe.
// Threads: m_watcher finds processes and starts a reader in m_readers for each (only it
// touches m_readers and m_followed until the destructor joins it); readers Add to the
// book; m_stop ends them all.

#include "EventBook.h"

#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace vyx::service::test {

class EventTapListener : public EventBook {
public:
    EventTapListener();
    ~EventTapListener();

private:
    void Watch();

    win::UniqueHandle m_stop;
    std::set<std::pair<DWORD, ULONGLONG>> m_followed;  // process ID and creation time
    std::vector<std::thread> m_readers;
    std::thread m_watcher;
};

}  // namespace vyx::service::test
