// Every camera of the family on the bus, for the command line: listing them with what the
// catalogue offers each, updating them one after another, checking their flash against the image,
// and saving one's flash. The catalogue, the identification, the decision and the update engine
// are the window's own; which cameras an unattended update writes is the command line's own rule.
#pragma once

#include "app/cameraidentity.h"
#include "cli/clireporter.h"
#include "cli/writerun.h"
#include "device/bxhardwarelib.h"
#include "payload/firmwarecatalogue.h"
#include "platform/runhistory.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

class Resources;
class UsbBus;

class CameraFleet
{
public:
    CameraFleet(UsbBus &bus, const Resources &resources, CliReporter &reporter);

    struct UpdateChoice
    {
        QString device; // a location, or empty for the only camera attached (or every one with all)
        bool all = false;
        bool yes = false;        // no question
        bool allowOlder = false; // downgrades too
        bool reinstall = false;  // an equal version is written even when the flash matches it
        int jobs = 8;            // cameras written at once
        QString backup;          // a folder: each camera's whole flash is saved there before it is written
    };

    int list(bool verify);
    // The device ids alone, without opening any camera.
    int listIds();
    // confirm is asked the question unless choice.yes.
    int update(const UpdateChoice &choice, const std::function<bool(const QString &)> &confirm);
    int verify(const QString &device, bool all);
    int dump(const QString &device, const QString &file);
    // Writes a dump back through the write sequence; a file without a firmware record is refused
    // unless force. confirm is asked unless yes.
    int restore(const QString &device, const QString &file, bool force, bool yes,
                const std::function<bool(const QString &)> &confirm);

private:
    struct Examined
    {
        UsbDeviceInfo device;
        std::optional<CameraIdentity> camera;
        UpdateDecision decision;
        QString said; // the decision in the window's words
        QString failure; // why it cannot be opened
        bool unknownChip = false;
        QString serial;
    };

    // What an update does to a camera the catalogue offers an image.
    enum class Action { Update, Reinstall, Downgrade, Skip };
    struct Plan
    {
        Examined examined;
        Action action;
        QString reason; // why it is skipped, or what is written over what
    };

    // What reading a camera's flash back against its image found.
    struct FlashCheck
    {
        enum class Verdict { Matches, Differs, NotChecked } verdict;
        QString flash;  // "matches", "differs at 0x...", "cannot check"
        QString reason;
    };

    void loadCatalogue();
    // The cameras of the family attached when first asked, in the order of their locations.
    std::vector<UsbDeviceInfo> attachedCameras();
    // The attached camera at this location; nothing, with an error, when there is none.
    std::optional<UsbDeviceInfo> cameraAt(const QString &location);
    // The camera at device, every camera (all), or the only one attached; an exit status when
    // that is not one camera or the catalogue is empty.
    std::variant<std::vector<UsbDeviceInfo>, int> choose(const QString &device, bool all);
    // Says that the catalogue holds no image for any camera; its exit status.
    int noFirmware();
    // Why no camera may be seen, for a note when none is.
    QString noCameraText() const;
    // Opens, identifies and decides, then ends the session (with open, keeps it).
    Examined examine(bxHardwareLib &hardware, const UsbDeviceInfo &device, bool keepOpen = false) const;
    void report(const Examined &examined, const QString &flash = {});
    Plan plan(Examined examined, const UpdateChoice &choice);
    FlashCheck checkFlash(const Examined &examined);
    // One camera of an update's run, on a session of its own.
    WriteRun::Outcome updateOne(const Plan &plan, const UpdateChoice &choice, bxHardwareLib &hardware);
    std::vector<uint8_t> imageOf(int binIndex) const;
    // Runs the write sequence over the open session and ends it: "verified", "failed", or
    // "untouched" when the camera was refused before anything was erased.
    WriteRun::Outcome write(bxHardwareLib &hardware, const QString &device, std::vector<uint8_t> image);
    // The whole flash over the open session, as large as its JEDEC identifier says; reason then
    // describes it, and jedecText (when given) names the part.
    std::optional<QByteArray> readWholeFlash(bxHardwareLib &hardware, const QString &device, QString *reason,
                                             QString *jedecText = nullptr);
    // Saves content in a file that does not exist yet.
    static bool saveNew(const QString &file, const QByteArray &content, QString *reason);
    // A run as the history keeps it, before it starts: it is "stopped" until it ends.
    static RunRecord historyRecord(const Examined &camera, const QString &toVersion, const QString &image,
                                   const QByteArray &bytes);
    // Saves the open camera's whole flash in folder, named by its device id, version and the time.
    bool backUp(bxHardwareLib &hardware, const Examined &camera, const QString &folder, QString *reason);

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
