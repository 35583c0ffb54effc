#include "ServiceTimings.h"

namespace vyx::service {

#ifdef VYX_SERVICE_TEST_BUILD

namespace {
ServiceTimings g_timings = kShippedTimings;
}  // namespace

const ServiceTimings& Timings()
{
    return g_timings;
}

void SetTimingsForTesting(const ServiceTimings& timings)
{
    g_timings = timings;
}

#else

const ServiceTimings& Timings()
{
    return kShippedTimings;
}

#endif

}  // namespace vyx::service
