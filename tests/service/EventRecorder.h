#pragma once
// Records every line WriteServiceEvent writes in this process, through the service's own
// sink seam, for as long as the recorder lives.

#include "EventBook.h"

namespace vyx::service::test {

class EventRecorder : public EventBook {
public:
    EventRecorder();
    ~EventRecorder();
};

}  // namespace vyx::service::test
