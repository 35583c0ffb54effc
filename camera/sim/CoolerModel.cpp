#include "CoolerModel.h"

#include <algorithm>
#include <cmath>

namespace vyx::sim {
namespace {

constexpr double kStepS = 0.25;
// Beyond this the temperature has long settled; longer gaps are not integrated.
constexpr double kLongestGapS = 3600.0;

// Full cooling capacity in degrees per second; the fan carries the cooler's heat away.
double Capacity(double maxDelta, int fanPower) {
    return maxDelta / CoolerModel::kTimeConstantS * (0.4 + 0.6 * fanPower / 100.0);
}

}  // namespace

double CoolerModel::Surroundings(const CoolerInputs& inputs) const {
    return kAmbient + (inputs.streaming ? 4.0 : 1.5) + inputs.lensHeaterPower * 0.03;
}

double CoolerModel::ChoosePower(const CoolerInputs& inputs) const {
    if (!inputs.hasCooler || !inputs.coolerOn) return 0.0;
    const double capacity = Capacity(m_maxDelta, inputs.fanPower);
    // Holding power for the target plus a proportional term for the remaining error.
    const double hold = (Surroundings(inputs) - inputs.targetTemperature) / kTimeConstantS / capacity;
    const double power = hold + 0.25 * (m_temperature - inputs.targetTemperature);
    return std::clamp(power, 0.0, 1.0);
}

void CoolerModel::Advance(double seconds, const CoolerInputs& inputs) {
    if (!(seconds > 0)) return;
    seconds = std::min(seconds, kLongestGapS);
    const double surroundings = Surroundings(inputs);
    const double capacity = Capacity(m_maxDelta, inputs.fanPower);
    while (seconds > 0) {
        const double dt = std::min(seconds, kStepS);
        m_power = ChoosePower(inputs);
        m_temperature += dt * ((surroundings - m_temperature) / kTimeConstantS - capacity * m_power);
        seconds -= dt;
    }
}

int CoolerModel::PowerPercent() const { return static_cast<int>(std::lround(m_power * 100.0)); }

}  // namespace vyx::sim
