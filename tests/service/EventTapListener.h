#pragma once
// Listens on the executable's event tap while it lives, so a test sees the lines that
// VYXCamService.exe processes (the commands and the service itself) write.
// Threads: m_threads serve one pipe instance each and Add to the book; m_stop ends them.

#include "EventBook.h"

#include <thread>
#include <vector>

namespace vyx::service::test {

class EventTapListener : public EventBook {
public:
    EventTapListener();
    ~EventTapListener();

private:
    void Serve();

    win::UniqueHandle m_stop;
    std::vector<std::thread> m_threads;
};

}  // namespace vyx::service::test
