#pragma once
// The service's waits, in one place so a test build can shorten them. The shipped
// executable links the shipped values (ServiceTimings.cpp); the test build of the same file
// (VYX_SERVICE_TEST_BUILD) lets a test set its own before any pass runs.

#include <windows.h>

namespace vyx::service {

struct ServiceTimings {
    DWORD startupWaitMs;      // before the first pass, so the devices present at boot settle
    DWORD regsvr32TimeoutMs;  // one regsvr32 run, before it is terminated
    DWORD quietPeriodMs;      // without device events, before a pass
    DWORD retryPauseStepMs;   // the pause after attempt n is n times this
    DWORD maxPassDelayMs;     // after a burst's first device event, however long it lasts
};

inline constexpr ServiceTimings kShippedTimings = {15000, 30000, 1500, 500, 10000};

const ServiceTimings& Timings();

#ifdef VYX_SERVICE_TEST_BUILD
// Not thread-safe: call it while no pass, worker or action runs.
void SetTimingsForTesting(const ServiceTimings& timings);
// Five numbers in the order of ServiceTimings, separated by blanks; false if malformed.
bool ParseTimings(const char* text, ServiceTimings& timings);
// The test build of the executable takes its waits from VYXCamService.timings beside it,
// when that file exists and is well formed; else it keeps the shipped ones.
void LoadTimingsBesideExecutable();
#endif

}  // namespace vyx::service
