#include "VirtualCameraCommand.h"

int wmain(int argc, wchar_t** argv)
{
    return static_cast<int>(vyx::vcam::RunVirtualCameraCommand(argc, argv, vyx::vcam::LookUpCreateVirtualCamera()));
}
