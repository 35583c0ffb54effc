#pragma once
// Seeded mutation runs over the service's inputs from outside: device-event data, device
// instance IDs into the model matching, and PE headers into the library validation. Each
// input's result is checked against the rule written out independently here; the first
// disagreement is kept. Used with small counts by the unit test and with large ones by
// the fuzz benchmark (docs/service-fuzzing.md).

#include <cstddef>
#include <cstdint>
#include <string>

namespace vyx::service::test {

struct FuzzTally {
    std::size_t inputs = 0;
    std::size_t accepted = 0;  // counted events, matched IDs, valid images
    std::size_t refused = 0;   // everything else, each with its error code
    std::size_t faults = 0;    // results that disagree with the rule
    std::string firstFault;
};

FuzzTally FuzzDeviceEvents(std::uint32_t seed, std::size_t count);
FuzzTally FuzzInstanceIds(std::uint32_t seed, std::size_t count);
FuzzTally FuzzPeHeaders(std::uint32_t seed, std::size_t count);

}  // namespace vyx::service::test
