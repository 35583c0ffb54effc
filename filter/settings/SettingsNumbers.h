#pragma once
// Number conversion of settings-file values, with the rules of the C++ library's stoi and
// stod (leading blanks, optional sign, conversion up to the first character that does not
// fit, so "12ab" gives 12) but reporting instead of throwing.
#include <cstdint>
#include <string>

namespace vyx {

enum class Conversion {
    Ok,
    NotANumber,  // no digits at the start
    OutOfRange,  // beyond the 32-bit signed range, or beyond double's
};

Conversion ParseSettingsInt(const std::string& text, std::int32_t& value);
Conversion ParseSettingsDouble(const std::string& text, double& value);
// Milliseconds with decimals, as the file keeps an exposure, to the nearest whole
// microsecond, so a saved value comes back as saved (1.001 x 1000.0 falls just below 1001).
// Beyond the 32-bit signed range, or not finite: OutOfRange.
Conversion ParseSettingsMilliseconds(const std::string& text, std::int32_t& microseconds);

}  // namespace vyx
