// The USB bus as the updater sees it: the devices attached, their arrival and removal, and opening
// one by vendor and product id. The real bus (libusb) and the virtual camera's bus both sit behind it.
#pragma once

#include "platform/usbdevice.h"
#include "platform/usbtypes.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QObject;

class UsbBus
{
public:
    using Handler = std::function<void(const UsbDeviceInfo &)>;

    virtual ~UsbBus() = default;

    // Calls arrived for every device already attached before it returns; later arrivals and
    // removals reach the handlers on the GUI thread, as long as the returned token and context
    // live. Dropping the token stops the notifications.
    virtual std::shared_ptr<void> watch(QObject *context, Handler arrived, Handler removed) = 0;

    // The first attached device with these identifiers, or null.
    virtual std::unique_ptr<UsbDevice> openDevice(uint32_t vendorId, uint32_t productId) = 0;
    // The device of this attachment (the id an arrival reported), or null once it has left.
    virtual std::unique_ptr<UsbDevice> openDevice(UsbDeviceId id) = 0;

    // Why this bus may not show the cameras that are plugged in (no USB devices visible to this
    // process, say); empty when nothing is known to hide them.
    virtual QString blindness() const { return {}; }

    // The bus the application uses: the one installed at start, else an empty bus, so that code
    // run without a chosen bus (tests) never touches real hardware.
    static UsbBus &system();
    static void setSystem(std::unique_ptr<UsbBus> bus);
};

// A bus with nothing on it; why, when it stands in for one that could not start.
class EmptyUsbBus : public UsbBus
{
public:
    explicit EmptyUsbBus(QString why = {})
        : mWhy(std::move(why))
    {
    }
    QString blindness() const override { return mWhy; }
    std::shared_ptr<void> watch(QObject *context, Handler arrived, Handler removed) override;
    std::unique_ptr<UsbDevice> openDevice(uint32_t vendorId, uint32_t productId) override;
    std::unique_ptr<UsbDevice> openDevice(UsbDeviceId id) override;

private:
    QString mWhy;
};
