#include "EventRecorder.h"

#include "ServiceEvents.h"

namespace vyx::service::test {

namespace {

void RecordLine(void* context, WORD type, DWORD id, const wchar_t* line)
{
    static_cast<EventRecorder*>(context)->Add(RecordedEvent{type, id, line, ::GetCurrentProcessId(), 0, 0});
}

}  // namespace

EventRecorder::EventRecorder() { SetServiceEventSink(RecordLine, this); }

EventRecorder::~EventRecorder() { SetServiceEventSink(nullptr, nullptr); }

}  // namespace vyx::service::test
