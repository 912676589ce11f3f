// One interface of an opened USB device. Requests on the default pipe go out through it; the
// interface stays usable until the device leaves, after which every request fails with NoDevice.
#pragma once

#include "platform/usbtypes.h"

class UsbInterface
{
public:
    UsbInterface(UsbDeviceId device, UsbInterfaceInfo info)
        : mDevice(device)
        , mInfo(info)
    {
    }
    virtual ~UsbInterface() = default;

    UsbInterface(const UsbInterface &) = delete;
    UsbInterface &operator=(const UsbInterface &) = delete;

    UsbDeviceId deviceId() const { return mDevice; }
    uint8_t number() const { return mInfo.number; }
    uint8_t interfaceClass() const { return mInfo.interfaceClass; }
    uint8_t interfaceSubClass() const { return mInfo.interfaceSubClass; }

    // Make the interface usable for requests, and give it up again; statuses of UsbStatus.
    virtual uint32_t open() = 0;
    virtual uint32_t close() = 0;

    // One control transfer on the device's default pipe. Returns a UsbStatus code and never logs:
    // the caller knows what the request was for.
    virtual uint32_t controlRequest(UsbDeviceRequest &request) = 0;

private:
    UsbDeviceId mDevice;
    UsbInterfaceInfo mInfo;
};
