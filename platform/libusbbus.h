// The real USB bus through libusb-1.0: devices, hotplug arrival and removal handed to the GUI
// thread, and control transfers on the default pipe.
#pragma once

#include "platform/usbbus.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

struct libusb_device;

class LibusbBus : public UsbBus
{
public:
    // Null, with the reason in error, when libusb cannot start here.
    static std::unique_ptr<LibusbBus> create(QString *error = nullptr);
    ~LibusbBus() override;

    std::shared_ptr<void> watch(QObject *context, Handler arrived, Handler removed) override;
    std::unique_ptr<UsbDevice> openDevice(uint32_t vendorId, uint32_t productId) override;
    std::unique_ptr<UsbDevice> openDevice(UsbDeviceId id) override;
    QString blindness() const override;

    // Maps a libusb error code onto the updater's result codes.
    static uint32_t statusFromLibusb(int error);

    struct State;

private:
    explicit LibusbBus(std::shared_ptr<State> state);
    // The first listed device that identity gives an identity to, opened.
    std::unique_ptr<UsbDevice> openFirst(const std::function<std::optional<UsbDeviceId>(libusb_device *)> &identity);
    std::shared_ptr<State> mState;
};
