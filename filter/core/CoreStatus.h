#pragma once
// What the capture core answers. Each client turns it into its own codes: the pin into the
// HRESULTs its interfaces document.

namespace vyx {

enum class CoreStatus {
    Ok,
    NotStopped,       // the source is paused or running; configuration waits for a stop
    Busy,             // a configuration change is still being made to take effect
    InvalidArgument,  // an index, bin or format the camera does not offer
    CameraRefused,    // the camera library refused (the camera may hold part of the change)
    NoCamera,         // no camera of the model is connected
    OpenFailed,       // the camera could not be created or opened
    OutOfMemory,
};

}  // namespace vyx
