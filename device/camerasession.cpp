// One opened camera.
#include "device/camerasession.h"

#include <chrono>

CameraSession::CameraSession(std::shared_ptr<UsbInterface> control, uint8_t hidInterface, MillisecondClock clock)
    : mControl(std::move(control))
    , mHidInterface(hidInterface)
    , mClock(std::move(clock))
{
}

UsbDeviceId CameraSession::device() const
{
    const std::shared_ptr<UsbInterface> control = interface();
    return control ? control->deviceId() : 0;
}

uint64_t CameraSession::milliseconds() const
{
    if (mClock)
        return mClock();
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}
