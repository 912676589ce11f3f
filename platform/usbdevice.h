// A USB device found on the bus, before any of its interfaces is used.
#pragma once

#include "platform/usbinterface.h"
#include "platform/usbtypes.h"

#include <memory>
#include <vector>

class UsbDevice
{
public:
    static constexpr uint16_t kAnyInterfaceClass = 0xFFFF;

    virtual ~UsbDevice() = default;

    virtual const UsbDeviceInfo &info() const = 0;

    // The device's interfaces of the given class (kAnyInterfaceClass: all), in interface order.
    // Each stays usable after the device object is gone.
    virtual std::vector<std::unique_ptr<UsbInterface>> interfaces(uint16_t interfaceClass) = 0;
};
