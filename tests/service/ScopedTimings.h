#pragma once
// The service's waits set for one test, restored to the shipped ones when it ends. Set
// while no pass, worker or action runs.

#include "ServiceTimings.h"

namespace vyx::service::test {

class ScopedTimings {
public:
    explicit ScopedTimings(const ServiceTimings& timings) { SetTimingsForTesting(timings); }
    ~ScopedTimings() { SetTimingsForTesting(kShippedTimings); }
    ScopedTimings(const ScopedTimings&) = delete;
    ScopedTimings& operator=(const ScopedTimings&) = delete;
};

}  // namespace vyx::service::test
