#include "ControlWorker.h"

#include <utility>

#include "ComApartment.h"

namespace vyx::test {

ControlWorker::ControlWorker(DWORD pauseMs, std::function<bool()> body)
    : m_pauseMs(pauseMs),
      m_body(std::move(body)),
      m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_thread([this] { Run(); }) {}

ControlWorker::~ControlWorker() { Stop(); }

void ControlWorker::Stop() {
    SetEvent(m_stop.Get());
    if (m_thread.joinable()) m_thread.join();
}

void ControlWorker::Run() {
    const vyx::win::ComApartment apartment;
    // Without its event (WAIT_FAILED) the worker could not be stopped, so it makes no call.
    while (WaitForSingleObject(m_stop.Get(), m_pauseMs) == WAIT_TIMEOUT) {
        if (!m_body()) ++m_failures;
        ++m_rounds;
    }
}

}  // namespace vyx::test
