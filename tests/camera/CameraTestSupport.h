// Shared set-up of the camera tests: a clean simulated bus, plugged cameras that are
// unplugged again at the end of each test, and owners for camera objects.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "SimulatedBus.h"
#include "VyxonCamera.h"

namespace vyx::sim::test {

struct CameraDeleter {
    void operator()(VyxonCamera* camera) const {
        if (camera) camera->Destory();
    }
};
using CameraPtr = std::unique_ptr<VyxonCamera, CameraDeleter>;

// Unplugs every simulated device on construction and destruction.
class CleanBus {
public:
    CleanBus();
    ~CleanBus();
    CleanBus(const CleanBus&) = delete;
    CleanBus& operator=(const CleanBus&) = delete;
};

// Index of the camera whose serial is `serial`, or -1.
int FindCamera(const std::string& serial);
// Plugs MODEL/SERIAL, then creates and opens it; fails the test on any error.
CameraPtr PlugAndOpen(const std::wstring& model, const std::wstring& serial);
std::wstring InstanceOf(const std::wstring& model, const std::wstring& serial);

}  // namespace vyx::sim::test
