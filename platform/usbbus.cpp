// The USB bus as the updater sees it, and the process-wide choice of bus.
#include "platform/usbbus.h"

namespace {

std::unique_ptr<UsbBus> &installedBus()
{
    static std::unique_ptr<UsbBus> bus;
    return bus;
}

} // namespace

UsbBus &UsbBus::system()
{
    std::unique_ptr<UsbBus> &bus = installedBus();
    if (!bus)
        bus = std::make_unique<EmptyUsbBus>();
    return *bus;
}

void UsbBus::setSystem(std::unique_ptr<UsbBus> bus)
{
    installedBus() = std::move(bus);
}

std::shared_ptr<void> EmptyUsbBus::watch(QObject *, Handler, Handler)
{
    return std::make_shared<int>(0);
}

std::unique_ptr<UsbDevice> EmptyUsbBus::openDevice(uint32_t, uint32_t)
{
    return nullptr;
}

std::unique_ptr<UsbDevice> EmptyUsbBus::openDevice(UsbDeviceId)
{
    return nullptr;
}
