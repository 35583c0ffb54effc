#include "ServiceState.h"

namespace vyx::service {

ServiceState& GetServiceState()
{
    static ServiceState state;
    return state;
}

}  // namespace vyx::service
