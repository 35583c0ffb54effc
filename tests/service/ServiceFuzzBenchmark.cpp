// Benchmark, not a test: the seeded mutation runs at full size, with their time.
//   service_fuzz_benchmark [COUNT [SEED]]   (default 100000 inputs per target, seed 20261209)
// Exit code 1 when any target found a fault. Figures: docs/service-fuzzing.md.
#include "ServiceFuzz.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

using vyx::service::test::FuzzTally;

int main(int argc, char** argv)
{
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    const std::uint32_t seed = argc > 2 ? static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 20261209;
    struct Target {
        const char* name;
        FuzzTally (*run)(std::uint32_t, std::size_t);
    };
    const Target targets[] = {{"device event data", vyx::service::test::FuzzDeviceEvents},
                              {"instance IDs", vyx::service::test::FuzzInstanceIds},
                              {"PE headers", vyx::service::test::FuzzPeHeaders}};
    int result = 0;
    for (const Target& target : targets) {
        const ULONGLONG start = ::GetTickCount64();
        const FuzzTally tally = target.run(seed, count);
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        std::printf("%-18s seed %u: %zu inputs, %zu accepted, %zu refused, %zu faults, %llu ms\n", target.name,
                    static_cast<unsigned>(seed), tally.inputs, tally.accepted, tally.refused, tally.faults,
                    static_cast<unsigned long long>(elapsed));
        if (tally.faults != 0) {
            std::printf("  first fault: %s\n", tally.firstFault.c_str());
            result = 1;
        }
    }
    return result;
}
