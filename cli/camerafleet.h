// Every camera of the family on the bus, for the command line: listing them with what the
// catalogue offers each, updating them one after another, and saving one's flash. The catalogue,
// the identification, the decision and the update engine are the window's own.
#pragma once

#include "app/cameraidentity.h"
#include "cli/clireporter.h"
#include "device/bxhardwarelib.h"
#include "payload/firmwarecatalogue.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class Resources;
class UsbBus;

class CameraFleet
{
public:
    // Loads the catalogue from the resources folder, as the window's launch does.
    CameraFleet(UsbBus &bus, const Resources &resources, CliReporter &reporter);

    int list();
    // device: a location, or empty for the only camera attached (or every one with all). confirm
    // is asked the window's question unless yes.
    int update(const QString &device, bool all, bool yes, const std::function<bool(const QString &)> &confirm);
    int dump(const QString &device, const QString &file);

private:
    struct Examined
    {
        UsbDeviceInfo device;
        std::optional<CameraIdentity> camera;
        UpdateDecision decision;
        QString said; // the decision in the window's words
        QString failure; // why it cannot be opened
        bool unknownChip = false;
    };

    // The cameras of the family attached when first asked, in the order of their locations.
    std::vector<UsbDeviceInfo> attachedCameras();
    // The attached camera at this location; nothing, with a note, when there is none.
    std::optional<UsbDeviceInfo> cameraAt(const QString &location);
    // Opens, identifies and decides, then ends the session (with open, keeps it).
    Examined examine(const UsbDeviceInfo &device, bool keepOpen = false);
    void report(const Examined &examined);
    // The outcome: "verified", "failed", or "untouched" when the camera was not changed.
    const char *write(const Examined &examined, QString *reason);

    UsbBus &mBus;
    QObject mContext;
    std::shared_ptr<void> mWatch;
    std::vector<UsbDeviceInfo> mAttached;
    const Resources &mResources;
    CliReporter &mReporter;
    bxHardwareLib mHardware;
    FirmwareCatalogue mCatalogue;
    bool mCatalogueTKind = false;
};
