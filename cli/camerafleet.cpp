// Every camera of the family on the bus, for the command line.
#include "cli/camerafleet.h"

#include "cli/clioptions.h"
#include "cli/writerun.h"
#include "device/flashupdate.h"
#include "device/spiflash.h"
#include "platform/interruption.h"
#include "platform/logindinhibitor.h"
#include "platform/printable.h"
#include "platform/resources.h"
#include "platform/systemlog.h"
#include "text/decisiontexts.h"
#include "text/localization.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
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

// What the terminal asks below the list of what is about to be written.
QString proceedQuestion()
{
    return localizedText("Status_Msg_Proceed_To_Update") + u'\n' + localizedText("Cli_Proceed_To_Update_Warning");
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

CameraFleet::Examined CameraFleet::examine(bxHardwareLib &hardware, const UsbDeviceInfo &device, bool keepOpen) const
{
    Examined examined{device, identifyCamera(hardware, device), {}, {}, {}, false, {}};
    if (!examined.camera) {
        examined.failure = openFailure(hardware);
        examined.unknownChip = hardware.lastChip() && !cameraKindOf(hardware.lastChip());
        return examined;
    }
    // Each camera is judged on its own: no earlier camera's kind carries over.
    const UpdateFacts facts = factsFor(*examined.camera, mCatalogueTKind, false, mResources);
    examined.decision = decideUpdate(mCatalogue, facts);
    examined.said = describeDecision(examined.decision, facts).plainText();
    examined.serial = hardware.GetSerialNumberString();
    if (!keepOpen)
        hardware.custom_dealloc();
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
    const Examined now = examine(mHardware, e.device, true);
    if (!now.camera || now.decision.binIndex != e.decision.binIndex) {
        mHardware.custom_dealloc();
        return {FlashCheck::Verdict::NotChecked, QStringLiteral("cannot check"),
                now.camera ? QStringLiteral("the camera changed since it was examined") : now.failure};
    }
    ProgressToReporter sink(mReporter, e.device.location);
    // The read-back alone: the same range and the same bytes an update checks after writing.
    FlashUpdate flash(mHardware.session(), imageOf(e.decision.binIndex), sink);
    const bool matches = flash.spi_verify_firmware();
    mHardware.custom_dealloc();
    if (matches)
        return {FlashCheck::Verdict::Matches, QStringLiteral("matches"), {}};
    if (const std::optional<uint32_t> at = flash.firstDifference())
        return {FlashCheck::Verdict::Differs, QStringLiteral("differs at %1").arg(hex(*at)), QString::fromStdString(flash.failureReason())};
    return {FlashCheck::Verdict::NotChecked, QStringLiteral("cannot check"), QString::fromStdString(flash.failureReason())};
}

std::vector<uint8_t> CameraFleet::imageOf(int binIndex) const
{
    const QByteArray &image = mCatalogue.UnzippedBinFileData.at(binIndex);
    return std::vector<uint8_t>(image.begin(), image.end());
}

int CameraFleet::list(bool verify)
{
    loadCatalogue();
    const std::vector<UsbDeviceInfo> cameras = attachedCameras();
    if (cameras.empty())
        mReporter.note(QStringLiteral("lumivex-cli: no camera of the family: %1").arg(noCameraText()));
    for (const UsbDeviceInfo &device : cameras) {
        const Examined examined = examine(mHardware, device);
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
        Examined examined = examine(mHardware, camera);
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
    question += proceedQuestion();
    if (!choice.yes && !confirm(question)) {
        for (const Plan &p : planned)
            mReporter.result(p.examined.device.location, "untouched", QStringLiteral("the update was declined"));
        return allVerified ? CliExit::NothingToUpdate : CliExit::Failed;
    }

    std::vector<WriteRun::Job> jobs;
    for (const Plan &p : planned) {
        const int index = p.examined.decision.binIndex;
        jobs.push_back({p.examined.device.location,
                        historyRecord(p.examined, versionText(p.examined.decision.binVersion),
                                      mCatalogue.UnzippedBinFileNames.at(index), mCatalogue.UnzippedBinFileData.at(index))});
    }
    WriteRun run(mBus, mReporter, choice.jobs);
    const bool written = run.run(jobs, [&](size_t i, bxHardwareLib &hardware, RunRecord &) { return updateOne(planned[i], choice, hardware); });
    return allVerified && written ? CliExit::Ok : CliExit::Failed;
}

WriteRun::Outcome CameraFleet::updateOne(const Plan &p, const UpdateChoice &choice, bxHardwareLib &hardware)
{
    static constexpr const char *kActions[] = {"update", "reinstall", "downgrade"};
    const QJsonObject versions{{"action", kActions[int(p.action)]},
                               {"from", versionText(p.examined.camera->version)},
                               {"to", versionText(p.examined.decision.binVersion)}};
    // Opened afresh: the camera may have changed hands or firmware since it was looked at.
    const Examined now = examine(hardware, p.examined.device, true);
    if (!now.camera || now.decision.outcome != UpdateDecision::Outcome::Offer
        || now.decision.binIndex != p.examined.decision.binIndex || now.camera->version != p.examined.camera->version) {
        hardware.custom_dealloc();
        return {now.camera ? "untouched" : "failed",
                now.camera ? QStringLiteral("the camera changed since it was examined") : now.failure, versions, "open"};
    }
    if (!choice.backup.isEmpty()) {
        QString reason;
        if (!backUp(hardware, now, choice.backup, &reason)) {
            hardware.custom_dealloc();
            return {"untouched", QStringLiteral("no backup, so not written: %1").arg(reason), versions, "backup"};
        }
    }
    WriteRun::Outcome outcome = write(hardware, p.examined.device.location, imageOf(p.examined.decision.binIndex));
    if (std::strcmp(outcome.outcome, "verified") == 0)
        outcome.reason = p.reason;
    for (auto it = versions.begin(); it != versions.end(); ++it)
        outcome.extra.insert(it.key(), it.value());
    return outcome;
}

RunRecord CameraFleet::historyRecord(const Examined &camera, const QString &toVersion, const QString &image, const QByteArray &bytes)
{
    RunRecord record;
    record.time = RunHistory::now();
    record.device = camera.device.location;
    record.serial = camera.serial;
    record.product = camera.camera ? camera.camera->product : camera.device.productName;
    record.fromVersion = camera.camera ? versionText(camera.camera->version) : QString();
    record.toVersion = toVersion;
    record.image = image;
    record.sha256 = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    record.result = QStringLiteral("stopped");
    record.failedStep = QStringLiteral("write");
    record.source = QStringLiteral("cli");
    return record;
}

WriteRun::Outcome CameraFleet::write(bxHardwareLib &hardware, const QString &device, std::vector<uint8_t> image)
{
    ProgressToReporter sink(mReporter, device);
    FlashUpdate flash(hardware.session(), std::move(image), sink);
    const bool verified = flash.run();
    hardware.custom_dealloc();
    // A refusal before the erase changed nothing on the camera.
    return {verified ? "verified" : flash.leftUntouched() ? "untouched" : "failed", QString::fromStdString(flash.failureReason()), {},
            stepName(flash.failedStep())};
}

int CameraFleet::verify(const QString &device, bool all)
{
    std::variant<std::vector<UsbDeviceInfo>, int> chosen = choose(device, all);
    if (const int *status = std::get_if<int>(&chosen))
        return *status;
    bool anyImage = false, allMatch = true;
    for (const UsbDeviceInfo &camera : std::get<std::vector<UsbDeviceInfo>>(chosen)) {
        const Examined examined = examine(mHardware, camera);
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

std::optional<QByteArray> CameraFleet::readWholeFlash(bxHardwareLib &hardware, const QString &device, QString *reason,
                                                      QString *jedecText)
{
    // The table's row says how much a known part holds; an unknown one's capacity byte does.
    const std::shared_ptr<CameraSession> session = hardware.session();
    std::array<uint8_t, 3> jedec{};
    if (!session || !spi_readJedecId(*session, jedec)) {
        *reason = QStringLiteral("the flash does not give its JEDEC identifier");
        return std::nullopt;
    }
    const QString part = QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(jedec.data()), 3).toHex().toUpper());
    if (jedecText)
        *jedecText = part;
    const uint32_t capacity = partCapacity(jedec);
    if (capacity == 0) {
        *reason = QStringLiteral("flash part %1 does not say how much it holds").arg(part);
        return std::nullopt;
    }
    QByteArray content(qsizetype(capacity), '\0');
    for (uint32_t address = 0; address < capacity; address += kReadPiece) {
        mReporter.progress(device, "reading", 100.0 * address / capacity);
        const uint32_t length = std::min(kReadPiece, capacity - address);
        if (!spi_readData(*session, address, length, reinterpret_cast<uint8_t *>(content.data()) + address)) {
            *reason = QStringLiteral("reading the flash at %1 failed").arg(hex(address));
            return std::nullopt;
        }
    }
    mReporter.progress(device, "reading", 100.0);
    *reason = QStringLiteral("%1 bytes of flash %2").arg(capacity).arg(part);
    return content;
}

bool CameraFleet::saveNew(const QString &file, const QByteArray &content, QString *reason)
{
    // NewOnly never overwrites, also a file that appeared since it was checked.
    QFile out(file);
    if (out.open(QIODevice::WriteOnly | QIODevice::NewOnly) && out.write(content) == content.size() && out.flush())
        return true;
    *reason = QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
    if (out.isOpen())
        out.remove();
    return false;
}

bool CameraFleet::backUp(bxHardwareLib &hardware, const Examined &camera, const QString &folder, QString *reason)
{
    const QString file = QDir(folder).filePath(QStringLiteral("%1-%2-%3.bin")
                                                   .arg(camera.device.location, versionText(camera.camera->version),
                                                        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddTHHmmsszzzZ"))));
    const std::optional<QByteArray> content = readWholeFlash(hardware, camera.device.location, reason);
    if (!content || !saveNew(file, *content, reason))
        return false;
    mReporter.note(QStringLiteral("lumivex-cli: %1: %2 saved in %3").arg(camera.device.location, *reason, file));
    return true;
}

int CameraFleet::dump(const QString &device, const QString &file)
{
    const std::optional<UsbDeviceInfo> camera = cameraAt(device);
    if (!camera)
        return CliExit::NoSuchDevice;
    // Made before the flash is read, so that a folder that cannot take it costs no read.
    if (QFileInfo::exists(file)) {
        mReporter.error(CliExit::BadArguments, QStringLiteral("%1 exists; it is not overwritten").arg(file));
        return CliExit::BadArguments;
    }
    QString reason;
    if (!saveNew(file, {}, &reason)) {
        mReporter.error(CliExit::Failed, reason.replace(QStringLiteral("cannot write"), QStringLiteral("cannot create")));
        return CliExit::Failed;
    }
    QFile::remove(file);
    std::optional<QByteArray> content;
    QString jedec;
    if (identifyCamera(mHardware, *camera))
        content = readWholeFlash(mHardware, device, &reason, &jedec);
    else
        reason = openFailure(mHardware);
    mHardware.custom_dealloc();
    if (!content || !saveNew(file, *content, &reason)) {
        mReporter.result(device, "failed", reason);
        return CliExit::Failed;
    }
    mReporter.result(device, "dumped", QStringLiteral("%1 saved in %2").arg(reason, file),
                     {{"file", file}, {"bytes", qint64(content->size())}, {"jedec", jedec}});
    return CliExit::Ok;
}

int CameraFleet::restore(const QString &device, const QString &file, bool force, bool yes,
                         const std::function<bool(const QString &)> &confirm)
{
    const std::optional<UsbDeviceInfo> camera = cameraAt(device);
    if (!camera)
        return CliExit::NoSuchDevice;
    // A dump is the flash as it was, without the prefix an image file carries; it is judged by
    // the record it holds where the camera keeps it, before anything is erased.
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        mReporter.error(CliExit::BadArguments, QStringLiteral("cannot read %1: %2").arg(file, in.errorString()));
        return CliExit::BadArguments;
    }
    QString problem;
    const std::optional<QByteArray> dump = FirmwareCatalogue::readImage(in, &problem);
    if (!dump) {
        mReporter.result(device, "untouched", QStringLiteral("%1: %2").arg(file, problem));
        return CliExit::Failed;
    }
    const QByteArray image = QByteArray(4, '\0') + *dump;
    const FirmwareCatalogue::ImageVerdict verdict = FirmwareCatalogue::judgeImage(image);
    if (!verdict.record && !force) {
        mReporter.result(device, "untouched", QStringLiteral("%1 holds no firmware the camera could start from (%2); "
                                                             "--force writes it anyway").arg(file, verdict.problem));
        return CliExit::Failed;
    }
    const QString what = verdict.record ? QStringLiteral("firmware %1").arg(versionText(uint32_t(verdict.record->firmwareVersion())))
                                        : QStringLiteral("content without a firmware record");
    const QString question = QStringLiteral("  %1  restore %2 (%3 bytes, %4)\n").arg(printable(device), printable(file)).arg(dump->size()).arg(what)
                             + proceedQuestion();
    if (!yes && !confirm(question)) {
        mReporter.result(device, "untouched", QStringLiteral("the restore was declined"));
        return CliExit::NothingToUpdate;
    }
    const RunRecord record = historyRecord({*camera, {}, {}, {}, {}, false, {}},
                                           verdict.record ? versionText(uint32_t(verdict.record->firmwareVersion())) : QString(),
                                           QFileInfo(file).fileName(), *dump);
    WriteRun run(mBus, mReporter, 1);
    const bool restored = run.run({{device, record}}, [&](size_t, bxHardwareLib &hardware, RunRecord &ran) {
        WriteRun::Outcome outcome{"failed", {}, {{"file", file}, {"action", "restore"}}, "open"};
        if (const std::optional<CameraIdentity> identity = identifyCamera(hardware, *camera)) {
            ran.fromVersion = versionText(identity->version);
            ran.serial = hardware.GetSerialNumberString();
            const QJsonObject extra = outcome.extra;
            outcome = write(hardware, device, std::vector<uint8_t>(image.begin(), image.end()));
            outcome.extra = extra;
        } else {
            outcome.reason = openFailure(hardware);
        }
        return outcome;
    });
    return restored ? CliExit::Ok : CliExit::Failed;
}
