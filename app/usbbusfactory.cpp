// Chooses the bus the updater runs on.
#include "app/usbbusfactory.h"

#include "platform/libusbbus.h"
#include "platform/systemlog.h"
#include "sim/virtualbus.h"

std::unique_ptr<UsbBus> createUsbBus()
{
    const QString path = qEnvironmentVariable("LUMIVEX_VIRTUAL_CAMERA");
    QString error;
    if (!path.isEmpty()) {
        if (auto cameras = VirtualCameraConfig::load(path, &error))
            return std::make_unique<VirtualBus>(std::move(*cameras));
        // A broken description must not fall through to the real hardware.
        const QString why = QStringLiteral("Virtual camera %1: %2; running without a camera").arg(path, error);
        systemLog(why);
        return std::make_unique<EmptyUsbBus>(why);
    }
    if (auto bus = LibusbBus::create(&error))
        return bus;
    const QString why = QStringLiteral("USB unavailable: %1").arg(error);
    systemLog(why);
    return std::make_unique<EmptyUsbBus>(why);
}
