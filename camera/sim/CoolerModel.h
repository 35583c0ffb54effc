// Thermal model of the sensor: it drifts towards its surroundings (ambient, warmed by
// the electronics and the lens heater) and a thermo-electric cooler pulls it down with
// a power that a proportional controller chooses. The fan sets how much of the
// cooler's capacity reaches the air. Time is passed in, so the model is exact to test.
#pragma once

namespace vyx::sim {

struct CoolerInputs {
    bool hasCooler = false;
    bool coolerOn = false;
    int targetTemperature = 0;  // degrees C
    int fanPower = 0;           // percent
    int lensHeaterPower = 0;    // percent
    bool streaming = false;
};

class CoolerModel {
public:
    static constexpr double kAmbient = 20.0;
    static constexpr double kTimeConstantS = 40.0;

    explicit CoolerModel(double maxDelta) : m_maxDelta(maxDelta) {}

    void Advance(double seconds, const CoolerInputs& inputs);
    double Temperature() const { return m_temperature; }
    int PowerPercent() const;

private:
    double Surroundings(const CoolerInputs& inputs) const;
    double ChoosePower(const CoolerInputs& inputs) const;

    double m_maxDelta;
    double m_temperature = kAmbient;
    double m_power = 0;  // 0 to 1
};

}  // namespace vyx::sim
