#pragma once
// Whether the process serving a named pipe runs as an administrator or SYSTEM, so the
// service hands its lines only to a listener that an administrator started: any user can
// create a pipe of the name first, and such a pipe must neither read the lines nor slow
// the service. Any thread.

#include <windows.h>

namespace vyx::service {

// The rule on a token's user and groups: the user is SYSTEM, or the Administrators group
// is enabled (a filtered token holds it for deny only and does not count).
bool IsAdministrativeIdentity(PSID user, const TOKEN_GROUPS* groups);

// Asks the pipe for its server's process and judges that process's token; false whenever
// any step fails.
bool IsPipeServerAdministrative(HANDLE pipe);

}  // namespace vyx::service
