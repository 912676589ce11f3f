// A camera as the updater sees it once opened, and the facts the update decision takes.
#include "app/cameraidentity.h"

#include "device/usbrequests.h"
#include "platform/language.h"
#include "platform/resources.h"

QString productNameFor(bool tKind)
{
    return tKind ? QStringLiteral("LUMIVEX T") : QStringLiteral("LUMIVEX S");
}

std::optional<CameraIdentity> identifyCamera(bxHardwareLib &hardware, const UsbDeviceInfo &device)
{
    // Opened by the attachment the bus reported, so that of two cameras alike the one that
    // arrived is the one asked. A failed open keeps no session.
    if (!hardware.initDevice(device.vendorId, device.productId, bxHardwareLib::kAnyInterfaceClass, device.id))
        return std::nullopt;
    CameraIdentity camera;
    const std::shared_ptr<CameraSession> session = hardware.session();
    if (!session || usbreq_readChipId(*session, &camera.chipID) != UsbStatus::Success) {
        hardware.custom_dealloc();
        return std::nullopt;
    }
    camera.version = hardware.GetFirmwareVersion();
    camera.product = removeEndSpaceFrom(hardware.GetProductString());
    return camera;
}

UpdateFacts factsFor(const CameraIdentity &camera, bool catalogueTKind, bool previousDeviceTKind,
                     const Resources &resources)
{
    return {
        .chipID = camera.chipID,
        .cameraVersion = camera.version,
        .product = camera.product,
        .catalogueTKind = catalogueTKind,
        .previousDeviceTKind = previousDeviceTKind,
        .firmwareProductName = productNameFor(catalogueTKind),
        .language = languageCode(),
        .downloadUrl = QUrl(resources.infoString(QStringLiteral("Download URL"))),
    };
}
