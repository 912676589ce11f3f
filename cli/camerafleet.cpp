// Every camera of the family on the bus, for the command line.
#include "cli/camerafleet.h"

#include "cli/clioptions.h"
#include "device/flashupdate.h"
#include "device/spiflash.h"
#include "platform/interruption.h"
#include "platform/logindinhibitor.h"
#include "platform/printable.h"
#include "platform/resources.h"
#include "platform/systemlog.h"
#include "text/decisiontexts.h"
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

QString hex(uint32_t address)
{
    return QStringLiteral("0x") + QString::number(address, 16).toUpper();
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
}

void CameraFleet::loadCatalogue()
{
    // Loaded by the commands that decide, as the window's launch does; listing ids and dumping
    // need none of it.
    for (const QString &problem : mResources.problems())
        systemLogFailure("lumivex-cli", problem);
    bool plain = false;
    mCatalogueTKind = mCatalogue.prepare(mResources, &plain).value_or(false);
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
    mReporter.error(CliExit::NoSuchDevice,
                    present.isEmpty() ? QStringLiteral("no camera of the family at %1: %2").arg(location, noCameraText())
                                      : QStringLiteral("no camera of the family at %1 (attached: %2)")
                                            .arg(location, present.join(QStringLiteral(", "))));
    return std::nullopt;
}

int CameraFleet::noFirmware()
{
    mReporter.error(CliExit::NoFirmware, QStringLiteral("no firmware in the catalogue: %1").arg(noFirmwareText().plainText()));
    return CliExit::NoFirmware;
}

QString CameraFleet::noCameraText() const
{
    const QString blind = mBus.blindness();
    if (!blind.isEmpty())
        return QStringLiteral("none is attached, or none can be seen: %1").arg(blind);
    return QStringLiteral("none is attached. If one is plugged in, try another cable or port; on Linux, check that the "
                          "udev rule is installed and plug the camera in again (see the README on USB permissions)");
}

std::variant<std::vector<UsbDeviceInfo>, int> CameraFleet::choose(const QString &device, bool all)
{
    loadCatalogue();
    if (mCatalogue.holdsNoImage())
        return noFirmware();
    if (!device.isEmpty()) {
        const std::optional<UsbDeviceInfo> camera = cameraAt(device);
        if (!camera)
            return CliExit::NoSuchDevice;
        return std::vector{*camera};
    }
    std::vector<UsbDeviceInfo> cameras = attachedCameras();
    if (cameras.empty())
        mReporter.note(QStringLiteral("lumivex-cli: no camera of the family: %1").arg(noCameraText()));
    if (cameras.size() > 1 && !all) {
        mReporter.error(CliExit::BadArguments,
                        QStringLiteral("%1 cameras are attached: name one with --device ID, or use --all").arg(cameras.size()));
        return CliExit::BadArguments;
    }
    return cameras;
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

void CameraFleet::report(const Examined &e, const QString &flash)
{
    CliReporter::Camera row;
    row.device = e.device.location;
    row.product = e.device.productName;
    row.flash = flash;
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
        row.link = mResources.infoString(QStringLiteral("Download URL"));
        break;
    case UpdateDecision::Outcome::UpToDate:
        row.decision = QStringLiteral("up to date");
        row.reason = e.said;
        break;
    case UpdateDecision::Outcome::NoFirmware:
        row.decision = QStringLiteral("no firmware");
        row.reason = e.said;
        break;
    }
    mReporter.camera(row);
}

CameraFleet::FlashCheck CameraFleet::checkFlash(const Examined &e)
{
    // Opened afresh, as for a write: the camera may have changed since it was looked at.
    const Examined now = examine(e.device, true);
    if (!now.camera || now.decision.binIndex != e.decision.binIndex) {
        mHardware.custom_dealloc();
        return {FlashCheck::Verdict::NotChecked, QStringLiteral("cannot check"),
                now.camera ? QStringLiteral("the camera changed since it was examined") : now.failure};
    }
    const QByteArray &image = mCatalogue.UnzippedBinFileData.at(e.decision.binIndex);
    ProgressToReporter sink(mReporter, e.device.location);
    // The read-back alone: the same range and the same bytes an update checks after writing.
    FlashUpdate flash(mHardware.session(), std::vector<uint8_t>(image.begin(), image.end()), sink);
    const bool matches = flash.spi_verify_firmware();
    mHardware.custom_dealloc();
    if (matches)
        return {FlashCheck::Verdict::Matches, QStringLiteral("matches"), {}};
    if (const std::optional<uint32_t> at = flash.firstDifference())
        return {FlashCheck::Verdict::Differs, QStringLiteral("differs at %1").arg(hex(*at)), QString::fromStdString(flash.failureReason())};
    return {FlashCheck::Verdict::NotChecked, QStringLiteral("cannot check"), QString::fromStdString(flash.failureReason())};
}

int CameraFleet::list(bool verify)
{
    loadCatalogue();
    const std::vector<UsbDeviceInfo> cameras = attachedCameras();
    if (cameras.empty())
        mReporter.note(QStringLiteral("lumivex-cli: no camera of the family: %1").arg(noCameraText()));
    for (const UsbDeviceInfo &device : cameras) {
        const Examined examined = examine(device);
        QString flash;
        if (verify && examined.camera)
            flash = examined.decision.outcome == UpdateDecision::Outcome::Offer ? checkFlash(examined).flash
                                                                                 : QStringLiteral("no image");
        report(examined, flash);
    }
    return mCatalogue.holdsNoImage() ? noFirmware() : CliExit::Ok;
}

int CameraFleet::listIds()
{
    for (const UsbDeviceInfo &device : attachedCameras())
        std::fprintf(mReporter.records(), "%s\n", qPrintable(printable(device.location)));
    std::fflush(mReporter.records());
    return CliExit::Ok;
}

CameraFleet::Plan CameraFleet::plan(Examined e, const UpdateChoice &choice)
{
    const uint32_t installed = e.camera->version, offered = e.decision.binVersion;
    const QString versions = QStringLiteral("%1 -> %2").arg(versionText(installed), versionText(offered));
    if (installed < offered)
        return {std::move(e), Action::Update, QStringLiteral("update %1").arg(versions)};
    if (installed > offered) {
        if (choice.allowOlder)
            return {std::move(e), Action::Downgrade, QStringLiteral("downgrade %1").arg(versions)};
        return {std::move(e), Action::Skip,
                QStringLiteral("the installed %1 is newer than the catalogue's %2; --allow-older writes it (a downgrade)")
                    .arg(versionText(installed), versionText(offered))};
    }
    if (choice.reinstall)
        return {std::move(e), Action::Reinstall, QStringLiteral("reinstall %1").arg(versionText(offered))};
    // The same version may sit on a half-written flash: only a flash that matches is up to date.
    const FlashCheck check = checkFlash(e);
    if (check.verdict == FlashCheck::Verdict::Matches)
        return {std::move(e), Action::Skip, QStringLiteral("up to date: %1 is installed and the flash matches it").arg(versionText(offered))};
    return {std::move(e), Action::Reinstall,
            QStringLiteral("reinstall %1: the flash %2").arg(versionText(offered), check.verdict == FlashCheck::Verdict::Differs
                                                                                          ? check.flash : QStringLiteral("could not be checked"))};
}

int CameraFleet::update(const UpdateChoice &choice, const std::function<bool(const QString &)> &confirm)
{
    std::variant<std::vector<UsbDeviceInfo>, int> chosen = choose(choice.device, choice.all);
    if (const int *status = std::get_if<int>(&chosen))
        return *status;

    // A camera of the family that cannot even be opened has failed; one that is not offered an
    // image, or that the rule skips, is left as it is.
    std::vector<Plan> planned;
    bool allVerified = true;
    for (const UsbDeviceInfo &camera : std::get<std::vector<UsbDeviceInfo>>(chosen)) {
        Examined examined = examine(camera);
        report(examined);
        if (!examined.camera) {
            mReporter.result(camera.location, "failed", examined.failure);
            allVerified = false;
        } else if (examined.decision.outcome != UpdateDecision::Outcome::Offer) {
            mReporter.result(camera.location, "untouched", examined.said);
        } else if (Plan p = plan(std::move(examined), choice); p.action == Action::Skip) {
            mReporter.result(camera.location, "skipped", p.reason);
        } else {
            planned.push_back(std::move(p));
        }
    }
    if (planned.empty()) {
        mReporter.note(QStringLiteral("lumivex-cli: nothing to update"));
        return allVerified ? CliExit::NothingToUpdate : CliExit::Failed;
    }

    QString question;
    for (const Plan &p : planned)
        question += QStringLiteral("  %1  %2  %3\n").arg(printable(p.examined.device.location), printable(p.examined.camera->product), p.reason);
    question += localizedText("Status_Msg_Proceed_To_Update") + u'\n' + localizedText("Cli_Proceed_To_Update_Warning");
    if (!choice.yes && !confirm(question)) {
        for (const Plan &p : planned)
            mReporter.result(p.examined.device.location, "untouched", QStringLiteral("the update was declined"));
        return allVerified ? CliExit::NothingToUpdate : CliExit::Failed;
    }

    // Held until the last camera is written; the command line has no event loop, so it waits for
    // logind's answer here, at most two seconds, rather than erase without the lock.
    LogindInhibitor inhibitor(QStringLiteral("lumivex-cli"), QStringLiteral("A camera's firmware is being written"));
    inhibitor.waitForAnswer();
    Interruption::install(mReporter.records(), CliExit::Failed, "\nInterrupted: no further camera is started.\n");
    for (size_t i = 0; i < planned.size(); ++i) {
        const QString &location = planned[i].examined.device.location;
        if (Interruption::requested()) {
            mReporter.result(location, "not started", QStringLiteral("interrupted"));
            allVerified = false;
            continue;
        }
        // A stop at once leaves a record for every camera it leaves unfinished, prepared now.
        QByteArray abortRecords = mReporter.resultRecord(location, "failed", QStringLiteral("stopped while being written"));
        for (size_t later = i + 1; later < planned.size(); ++later)
            abortRecords += mReporter.resultRecord(planned[later].examined.device.location, "not started", QStringLiteral("interrupted"));
        Interruption::setWriting(
            QStringLiteral("\nInterrupted: the camera at %1 is being written and finishes first; no further camera "
                           "is started. Ctrl-C again stops at once and may leave it unusable.\n").arg(printable(location)).toUtf8(),
            abortRecords, QStringLiteral("\nStopped: the camera at %1 was left half-written.\n").arg(printable(location)).toUtf8());
        QString reason;
        const char *outcome = write(planned[i].examined, &reason);
        Interruption::clearWriting();
        const bool verified = std::strcmp(outcome, "verified") == 0;
        static constexpr const char *kActions[] = {"update", "reinstall", "downgrade"};
        mReporter.result(location, outcome, verified ? planned[i].reason : reason,
                         {{"action", kActions[int(planned[i].action)]},
                          {"from", versionText(planned[i].examined.camera->version)},
                          {"to", versionText(planned[i].examined.decision.binVersion)}});
        allVerified = allVerified && verified;
    }
    Interruption::uninstall();
    return allVerified ? CliExit::Ok : CliExit::Failed;
}

const char *CameraFleet::write(const Examined &e, QString *reason)
{
    // Opened afresh: the camera may have changed hands or firmware since it was looked at.
    const Examined now = examine(e.device, true);
    if (!now.camera || now.decision.outcome != UpdateDecision::Outcome::Offer || now.decision.binIndex != e.decision.binIndex
        || now.camera->version != e.camera->version) {
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

int CameraFleet::verify(const QString &device, bool all)
{
    std::variant<std::vector<UsbDeviceInfo>, int> chosen = choose(device, all);
    if (const int *status = std::get_if<int>(&chosen))
        return *status;
    bool anyImage = false, allMatch = true;
    for (const UsbDeviceInfo &camera : std::get<std::vector<UsbDeviceInfo>>(chosen)) {
        const Examined examined = examine(camera);
        if (!examined.camera) {
            mReporter.flashCheck(camera.location, QStringLiteral("cannot check"), examined.failure);
            allMatch = false;
        } else if (examined.decision.outcome != UpdateDecision::Outcome::Offer) {
            mReporter.flashCheck(camera.location, QStringLiteral("no image"), examined.said);
        } else {
            anyImage = true;
            const FlashCheck check = checkFlash(examined);
            mReporter.flashCheck(camera.location, check.flash, check.reason);
            allMatch = allMatch && check.verdict == FlashCheck::Verdict::Matches;
        }
    }
    return !allMatch ? CliExit::Failed : anyImage ? CliExit::Ok : CliExit::NothingToUpdate;
}

int CameraFleet::dump(const QString &device, const QString &file)
{
    const std::optional<UsbDeviceInfo> camera = cameraAt(device);
    if (!camera)
        return CliExit::NoSuchDevice;
    // Made before the flash is read, so that a folder that cannot take it costs no read; NewOnly
    // never overwrites, also a file that appeared since the command was typed.
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        const bool exists = QFileInfo::exists(file);
        mReporter.error(exists ? CliExit::BadArguments : CliExit::Failed,
                        exists ? QStringLiteral("%1 exists; it is not overwritten").arg(file)
                               : QStringLiteral("cannot create %1: %2").arg(file, out.errorString()));
        return exists ? CliExit::BadArguments : CliExit::Failed;
    }
    const auto fail = [&](const QString &reason) {
        mHardware.custom_dealloc();
        out.remove();
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
            return fail(QStringLiteral("reading the flash at %1 failed").arg(hex(address)));
    }
    mReporter.progress(device, "reading", 100.0);
    mHardware.custom_dealloc();

    if (out.write(content) != content.size() || !out.flush())
        return fail(QStringLiteral("cannot write %1: %2").arg(file, out.errorString()));
    mReporter.result(device, "dumped", QStringLiteral("%1 bytes of flash %2 saved in %3").arg(capacity).arg(jedecText, file),
                     {{"file", file}, {"bytes", qint64(capacity)}, {"jedec", jedecText}});
    return CliExit::Ok;
}
