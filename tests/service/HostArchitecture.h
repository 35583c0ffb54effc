#pragma once
// What the host can run, for checks that need a 32-bit program (the x86 filter builds'
// regsvr32, a 32-bit application's view of the devices). Some hosts' kernels refuse 32-bit
// executables; there the x64 tree still runs everything else.

#include "FilterArch.h"

namespace vyx::service::test {

// This test program's own architecture.
FilterArch ProcessArch();
// True in a 32-bit program; in a 64-bit one, whether a 32-bit program of the system starts
// and ends with its exit code. VYX_ASSUME_NO_32BIT=1 answers false, so the paths such hosts
// take can be run anywhere.
bool HostRuns32BitPrograms();
// Whether this host can register and list the architecture's builds.
bool HostRuns(FilterArch arch);

}  // namespace vyx::service::test
