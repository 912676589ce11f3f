// Every camera of the family on the bus, for the command line.
#include "cli/camerafleet.h"

#include "cli/clioptions.h"
#include "device/flashupdate.h"
#include "device/spiflash.h"
#include "platform/interruption.h"
#include "platform/logindinhibitor.h"
#include "platform/resources.h"
#include "platform/systemlog.h"
#include "text/localization.h"

#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QRegularExpression>

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kReadPiece = 0x1000;

// Why a camera of the family could not be used: the open's own failure, or a chip that stopped
// answering right after it.
QString openFailure(const bxHardwareLib &hardware)
{
    return hardware.lastOpen() ? QStringLiteral("the bridge does not answer") : QString::fromStdString(hardware.lastOpen().reason());
}

// 1-2 before 1-10: the bus and port numbers compare as numbers.
bool locationBefore(const QString &a, const QString &b)
{
    const auto numbers = [](const QString &location) {
        QList<int> parts;
        for (const QString &part : location.split(QRegularExpression(QStringLiteral("[-.]"))))
            parts << part.toInt();
        return parts;
    };
    const QList<int> left = numbers(a), right = numbers(b);
    return left != right ? left < right : a < b;
}

class ProgressToReporter : public UpdateProgressSink
{
public:
    ProgressToReporter(CliReporter &reporter, QString device)
        : mReporter(reporter)
        , mDevice(std::move(device))
    {
    }
    void progress(double percent, Stage stage) override
    {
        mReporter.progress(mDevice, stage == Stage::Erasing ? "erasing" : stage == Stage::ReadingBack ? "verifying" : "writing",
                           percent);
    }

private:
    CliReporter &mReporter;
    QString mDevice;
};

} // namespace

CameraFleet::CameraFleet(UsbBus &bus, const Resources &resources, CliReporter &reporter)
    : mBus(bus)
    , mResources(resources)
    , mReporter(reporter)
    , mHardware(bus)
{
    for (const QString &problem : resources.problems())
        systemLogFailure("lumivex-cli", problem);
    bool plain = false;
    mCatalogueTKind = mCatalogue.prepare(resources, &plain).value_or(false);
}

std::vector<UsbDeviceInfo> CameraFleet::attachedCameras()
{
    // Every device already attached arrives inside watch(); nothing later is waited for. The
    // watch stays while the fleet lives, so that the identities it gave keep naming their devices.
    if (!mWatch) {
        mWatch = mBus.watch(
            &mContext,
            [this](const UsbDeviceInfo &device) {
                if (device.vendorId == kFamilyVendorId)
                    mAttached.push_back(device);
            },
            [](const UsbDeviceInfo &) {});
        std::sort(mAttached.begin(), mAttached.end(),
                  [](const UsbDeviceInfo &a, const UsbDeviceInfo &b) { return locationBefore(a.location, b.location); });
    }
    return mAttached;
}

std::optional<UsbDeviceInfo> CameraFleet::cameraAt(const QString &location)
{
    const std::vector<UsbDeviceInfo> cameras = attachedCameras();
    const auto found = std::find_if(cameras.begin(), cameras.end(),
                                    [&](const UsbDeviceInfo &device) { return device.location == location; });
    if (found != cameras.end())
        return *found;
    QStringList present;
    for (const UsbDeviceInfo &device : cameras)
        present << device.location;
    mReporter.note(QStringLiteral("lumivex-cli: no camera of the family at %1 (attached: %2)")
                       .arg(location, present.isEmpty() ? QStringLiteral("none") : present.join(QStringLiteral(", "))));
    return std::nullopt;
}

CameraFleet::Examined CameraFleet::examine(const UsbDeviceInfo &device, bool keepOpen)
{
    Examined examined{device, identifyCamera(mHardware, device), {}, {}, {}, false};
    if (!examined.camera) {
        examined.failure = openFailure(mHardware);
        examined.unknownChip = mHardware.lastChip() && !cameraKindOf(mHardware.lastChip());
        return examined;
    }
    // Each camera is judged on its own: no earlier camera's kind carries over.
    const UpdateFacts facts = factsFor(*examined.camera, mCatalogueTKind, false, mResources);
    examined.decision = decideUpdate(mCatalogue, facts);
    examined.said = describeDecision(examined.decision, facts).plainText();
    if (!keepOpen)
        mHardware.custom_dealloc();
    return examined;
}

void CameraFleet::report(const Examined &e)
{
    CliReporter::Camera row;
    row.device = e.device.location;
    row.product = e.device.productName;
    if (!e.camera) {
        row.decision = QStringLiteral("cannot open");
        row.reason = e.failure;
        if (e.unknownChip)
            row.kind = QStringLiteral("unknown chip");
        mReporter.camera(row);
        return;
    }
    const std::optional<CameraKind> kind = cameraKindOf(e.camera->chipID);
    row.kind = kind ? kind->label.toString() : QStringLiteral("unknown chip");
    row.product = e.camera->product;
    row.installed = versionText(e.camera->version);
    switch (e.decision.outcome) {
    case UpdateDecision::Outcome::Offer:
        row.decision = QStringLiteral("offer");
        row.image = mCatalogue.UnzippedBinFileNames.at(e.decision.binIndex);
        row.offered = versionText(e.decision.binVersion);
        break;
    case UpdateDecision::Outcome::Mismatch:
        row.decision = QStringLiteral("mismatch");
        row.reason = e.said;
        break;
    case UpdateDecision::Outcome::UpToDate:
        row.decision = QStringLiteral("up to date");
        row.reason = e.said;
        break;
    }
    mReporter.camera(row);
}

int CameraFleet::list()
{
    for (const UsbDeviceInfo &device : attachedCameras())
        report(examine(device));
    return CliExit::Ok;
}

int CameraFleet::update(const QString &device, bool all, bool yes, const std::function<bool(const QString &)> &confirm)
{
    std::vector<UsbDeviceInfo> chosen;
    if (!device.isEmpty()) {
        const std::optional<UsbDeviceInfo> camera = cameraAt(device);
        if (!camera)
            return CliExit::NoSuchDevice;
        chosen.push_back(*camera);
    } else {
        chosen = attachedCameras();
        if (chosen.size() > 1 && !all) {
            mReporter.note(QStringLiteral("lumivex-cli: %1 cameras are attached: name one with --device ID, or use --all")
                               .arg(chosen.size()));
            return CliExit::BadArguments;
        }
    }

    // A camera of the family that cannot even be opened has failed; one that is not offered an
    // image is left as it is.
    std::vector<Examined> offered;
    bool allVerified = true;
    for (const UsbDeviceInfo &camera : chosen) {
        Examined examined = examine(camera);
        report(examined);
        if (!examined.camera) {
            mReporter.result(camera.location, "failed", examined.failure);
            allVerified = false;
        } else if (examined.decision.outcome == UpdateDecision::Outcome::Offer) {
            offered.push_back(std::move(examined));
        } else {
            mReporter.result(camera.location, "untouched", examined.said);
        }
    }
    if (offered.empty()) {
        mReporter.note(QStringLiteral("lumivex-cli: nothing to update"));
        return allVerified ? CliExit::NothingToUpdate : CliExit::Failed;
    }

    const QString question = localizedText("Status_Msg_Proceed_To_Update") + u'\n'
                             + localizedFormat("Status_Msg_Proceed_To_Update_Warning", {productNameFor(mCatalogueTKind)});
    if (!yes && !confirm(question)) {
        for (const Examined &e : offered)
            mReporter.result(e.device.location, "untouched", QStringLiteral("the update was declined"));
        return allVerified ? CliExit::NothingToUpdate : CliExit::Failed;
    }

    // Held until the last camera is written; the command line has no event loop, so it waits for
    // logind's answer here, at most two seconds, rather than erase without the lock.
    LogindInhibitor inhibitor(QStringLiteral("lumivex-cli"), QStringLiteral("A camera's firmware is being written"));
    inhibitor.waitForAnswer();
    Interruption::install(mReporter.records(), CliExit::Failed, "\nInterrupted: no further camera is started.\n");
    for (size_t i = 0; i < offered.size(); ++i) {
        const QString &location = offered[i].device.location;
        if (Interruption::requested()) {
            mReporter.result(location, "not started", QStringLiteral("interrupted"));
            allVerified = false;
            continue;
        }
        // A stop at once leaves a record for every camera it leaves unfinished, prepared now.
        QByteArray abortRecords = mReporter.resultRecord(location, "failed", QStringLiteral("stopped while being written"));
        for (size_t later = i + 1; later < offered.size(); ++later)
            abortRecords += mReporter.resultRecord(offered[later].device.location, "not started", QStringLiteral("interrupted"));
        Interruption::setWriting(
            QStringLiteral("\nInterrupted: the camera at %1 is being written and finishes first; no further camera "
                           "is started. Ctrl-C again stops at once and may leave it unusable.\n").arg(location).toUtf8(),
            abortRecords, QStringLiteral("\nStopped: the camera at %1 was left half-written.\n").arg(location).toUtf8());
        QString reason;
        const char *outcome = write(offered[i], &reason);
        Interruption::clearWriting();
        mReporter.result(location, outcome, reason);
        allVerified = allVerified && std::strcmp(outcome, "verified") == 0;
    }
    Interruption::uninstall();
    return allVerified ? CliExit::Ok : CliExit::Failed;
}

const char *CameraFleet::write(const Examined &e, QString *reason)
{
    // Opened afresh: the camera may have changed hands or firmware since it was looked at.
    const Examined now = examine(e.device, true);
    if (!now.camera || now.decision.outcome != UpdateDecision::Outcome::Offer || now.decision.binIndex != e.decision.binIndex) {
        *reason = now.camera ? QStringLiteral("the camera changed since it was examined") : now.failure;
        mHardware.custom_dealloc();
        return now.camera ? "untouched" : "failed";
    }
    const QByteArray &image = mCatalogue.UnzippedBinFileData.at(e.decision.binIndex);
    ProgressToReporter sink(mReporter, e.device.location);
    FlashUpdate flash(mHardware.session(), std::vector<uint8_t>(image.begin(), image.end()), sink);
    const bool verified = flash.run();
    *reason = QString::fromStdString(flash.failureReason());
    mHardware.custom_dealloc();
    // A refusal before the erase changed nothing on the camera.
    return verified ? "verified" : flash.leftUntouched() ? "untouched" : "failed";
}

int CameraFleet::dump(const QString &device, const QString &file)
{
    const std::optional<UsbDeviceInfo> camera = cameraAt(device);
    if (!camera)
        return CliExit::NoSuchDevice;
    if (QFileInfo::exists(file)) {
        mReporter.note(QStringLiteral("lumivex-cli: %1 exists; it is not overwritten").arg(file));
        return CliExit::BadArguments;
    }
    const auto fail = [&](const QString &reason) {
        mHardware.custom_dealloc();
        mReporter.result(device, "failed", reason);
        return CliExit::Failed;
    };
    if (!identifyCamera(mHardware, *camera))
        return fail(openFailure(mHardware));

    // The table's row says how much a known part holds; an unknown one's capacity byte does.
    const std::shared_ptr<CameraSession> session = mHardware.session();
    std::array<uint8_t, 3> jedec{};
    if (!spi_readJedecId(*session, jedec))
        return fail(QStringLiteral("the flash does not give its JEDEC identifier"));
    const QString jedecText = QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(jedec.data()), 3).toHex().toUpper());
    const uint32_t capacity = partCapacity(jedec);
    if (capacity == 0)
        return fail(QStringLiteral("flash part %1 does not say how much it holds").arg(jedecText));

    QByteArray content(qsizetype(capacity), '\0');
    for (uint32_t address = 0; address < capacity; address += kReadPiece) {
        mReporter.progress(device, "reading", 100.0 * address / capacity);
        const uint32_t length = std::min(kReadPiece, capacity - address);
        if (!spi_readData(*session, address, length, reinterpret_cast<uint8_t *>(content.data()) + address))
            return fail(QStringLiteral("reading the flash at 0x%1 failed").arg(address, 0, 16));
    }
    mHardware.custom_dealloc();

    // NewOnly: a file that appeared meanwhile is not overwritten either.
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly) || out.write(content) != content.size() || !out.flush()) {
        const QString error = out.errorString();
        if (out.isOpen())
            out.remove();
        mReporter.result(device, "failed", QStringLiteral("cannot write %1: %2").arg(file, error));
        return CliExit::Failed;
    }
    mReporter.result(device, "dumped", QStringLiteral("%1 bytes of flash %2 saved in %3").arg(capacity).arg(jedecText, file),
                     {{"file", file}, {"bytes", qint64(capacity)}, {"jedec", jedecText}});
    return CliExit::Ok;
}
