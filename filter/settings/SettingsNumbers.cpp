#include "SettingsNumbers.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace vyx {

Conversion ParseSettingsInt(const std::string& text, std::int32_t& value) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(start, &end, 10);
    if (end == start) return Conversion::NotANumber;
    if (errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX) return Conversion::OutOfRange;
    value = static_cast<std::int32_t>(parsed);
    return Conversion::Ok;
}

Conversion ParseSettingsDouble(const std::string& text, double& value) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(start, &end);
    if (end == start) return Conversion::NotANumber;
    if (errno == ERANGE) return Conversion::OutOfRange;
    value = parsed;
    return Conversion::Ok;
}

Conversion ParseSettingsMilliseconds(const std::string& text, std::int32_t& microseconds) {
    double milliseconds = 0.0;
    const Conversion conversion = ParseSettingsDouble(text, milliseconds);
    if (conversion != Conversion::Ok) return conversion;
    const double rounded = std::round(milliseconds * 1000.0);
    // Written so that NaN fails too.
    if (!(rounded >= INT32_MIN && rounded <= INT32_MAX)) return Conversion::OutOfRange;
    microseconds = static_cast<std::int32_t>(rounded);
    return Conversion::Ok;
}

}  // namespace vyx
