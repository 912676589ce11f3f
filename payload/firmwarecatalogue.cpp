// The firmware the updater carries: image bytes, file names and byte lengths in three index-aligned
// arrays, and the header record of each image.
#include "payload/firmwarecatalogue.h"

#include "payload/encryptedcatalogue.h"
#include "payload/firmwareheader.h"
#include "platform/resources.h"
#include "platform/systemlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <span>

namespace {

std::span<const uint8_t> asBytes(const QByteArray &data)
{
    return {reinterpret_cast<const uint8_t *>(data.constData()), static_cast<size_t>(data.size())};
}

constexpr quint64 kLargestImageFile = kLargestFlashContent + FirmwareHeader::kImagePrefixSize;

// Erased (0xFF) or zeroed flash content carries no firmware, whatever its header seems to say.
bool isBlank(std::span<const uint8_t> flash)
{
    return !flash.empty() && (flash.front() == 0x00 || flash.front() == 0xFF)
           && std::all_of(flash.begin(), flash.end(), [&](uint8_t b) { return b == flash.front(); });
}

QString headerProblem(HeaderFault fault, const _QLV2_FW_INFO &info, size_t flashLength)
{
    using namespace FirmwareHeader;
    switch (fault) {
    case HeaderFault::None:
        break;
    case HeaderFault::NoBootConfig:
        return QStringLiteral("firmware header rejected: %1 bytes of flash content, too short for the %2-byte boot configuration")
            .arg(flashLength).arg(kBootConfigSize);
    case HeaderFault::BaseBeyondLimit:
        return QStringLiteral("firmware header rejected: base address 0x%1 lies beyond 0x%2")
            .arg(info.UserSpaceAddr - userSpaceAddress(0), 6, 16, QLatin1Char('0'))
            .arg(kHighestBaseAddress, 4, 16, QLatin1Char('0'));
    case HeaderFault::Truncated:
        return QStringLiteral("firmware header rejected: the flash content ends after %1 bytes, before the end of its "
                              "user-space sector at %2: the image is cut short")
            .arg(flashLength).arg(requiredFlashLength(info.UserSpaceAddr));
    }
    return {};
}

void logNeverOffered(const QString &name, const QString &problem)
{
    systemLog(QStringLiteral("prepareData - %1 is never offered: %2").arg(name, problem));
}

} // namespace

QStringList FirmwareCatalogue::plainImagePaths(const Resources &resources, const QString &subfolder)
{
    QStringList paths;
    for (const char *type : {"BIN", "bin", "Bin"})
        paths += resources.pathsForResources(QString::fromLatin1(type), subfolder);
    return paths;
}

std::optional<QString> FirmwareCatalogue::sizeProblem(quint64 fileSize)
{
    if (fileSize <= kLargestImageFile)
        return std::nullopt;
    return QStringLiteral("%1 bytes, more than the %2 of an image for the largest supported flash (%3 bytes and the "
                          "%4-byte prefix)")
        .arg(fileSize).arg(kLargestImageFile).arg(kLargestFlashContent).arg(FirmwareHeader::kImagePrefixSize);
}

std::optional<QByteArray> FirmwareCatalogue::readImage(QFile &file, QString *problem)
{
    std::optional<QString> tooLarge = sizeProblem(quint64(file.size()));
    const QByteArray data = tooLarge ? QByteArray() : file.read(kLargestImageFile + 1);
    if (!tooLarge)
        tooLarge = sizeProblem(quint64(data.size()));
    if (tooLarge) {
        *problem = *tooLarge;
        return std::nullopt;
    }
    return data;
}

FirmwareCatalogue::ImageVerdict FirmwareCatalogue::judgeImage(const QByteArray &image)
{
    if (std::optional<QString> problem = sizeProblem(quint64(image.size())))
        return {std::nullopt, *problem};
    const std::span<const uint8_t> file = asBytes(image);
    if (file.size() < FirmwareHeader::kImagePrefixSize)
        return {std::nullopt, QStringLiteral("%1 bytes, shorter than the image prefix").arg(file.size())};
    const std::span<const uint8_t> flash = file.subspan(FirmwareHeader::kImagePrefixSize);
    if (isBlank(flash))
        return {std::nullopt, QStringLiteral("blank: every byte of its flash content is 0x%1").arg(flash.front(), 2, 16, QLatin1Char('0'))};

    _QLV2_FW_INFO info{};
    const HeaderFault fault = checkQLV2FirmwareInfo(info, flash);
    if (fault != HeaderFault::None)
        return {std::nullopt, headerProblem(fault, info, flash.size())};
    BinFileInfo record;
    record.setPID(info.UserSpaceData.PID);
    record.setVID(info.UserSpaceData.VID);
    record.setFirmwareVersion(info.UserSpaceData.FirmwareVersion);
    return {record, {}};
}

bool FirmwareCatalogue::loadPlainImages(const Resources &resources)
{
    for (const QString &name : resources.undecodableNames(QStringLiteral("Opt"))) {
        if (name.endsWith(u".BIN") || name.endsWith(u".bin") || name.endsWith(u".Bin"))
            logNeverOffered(name, QStringLiteral("its file name is not UTF-8; rename it"));
    }
    const QStringList paths = plainImagePaths(resources, QStringLiteral("Opt"));
    if (paths.isEmpty())
        return false;

    clear();
    loadManifest(QDir(resources.folder()).filePath(QStringLiteral("Opt")));
    for (const QString &path : paths) {
        // Skipping keeps the three arrays aligned; the rest of the catalogue stays usable.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            systemLog(QStringLiteral("prepareData - cannot read %1: %2").arg(path, file.errorString()));
            continue;
        }
        QString problem;
        const std::optional<QByteArray> data = readImage(file, &problem);
        if (!data) {
            logNeverOffered(QFileInfo(path).fileName(), problem + QStringLiteral("; not read"));
            continue;
        }
        UnzippedBinFileData.append(*data);
        UnzippedBinFileNames.append(QFileInfo(path).fileName());
        UnzippedBinFileByteLengths.append(static_cast<quint64>(data->size()));
    }
    return true;
}

void FirmwareCatalogue::loadEncryptedResources(const Resources &resources)
{
    const QStringList paths = resources.pathsForResources(QStringLiteral("resource"));
    if (paths.size() != 3)
        return;

    EncryptedCatalogue::Failure failure;
    std::optional<EncryptedCatalogue::Contents> contents = EncryptedCatalogue::open(paths, &failure);
    clear();
    if (!contents) {
        // Launch goes on as with no catalogue: the connect prompt, and no image for any camera.
        systemLog(QStringLiteral("prepareData - cannot open the firmware catalogue %1: %2").arg(failure.file, failure.reason));
        return;
    }
    UnzippedBinFileData = std::move(contents->images);
    UnzippedBinFileNames = std::move(contents->names);
    UnzippedBinFileByteLengths = std::move(contents->lengths);
    loadManifest(resources.folder());
}

void FirmwareCatalogue::loadManifest(const QString &folder)
{
    QString problem;
    mManifest = DigestManifest::load(folder, &problem);
    if (!problem.isEmpty())
        systemLog(QStringLiteral("prepareData - %1 %2: no image is offered")
                      .arg(QDir(folder).filePath(DigestManifest::kFileName), problem));
}

std::optional<bool> FirmwareCatalogue::readHeaders()
{
    std::optional<bool> tKind;
    myDevicesInfo.clear();
    const qsizetype images = std::min(count(), UnzippedBinFileData.size());
    for (qsizetype i = 0; i < images; ++i) {
        const QString &name = UnzippedBinFileNames.at(i);
        ImageVerdict verdict = judgeImage(UnzippedBinFileData.at(i));
        if (verdict.record && mManifest) {
            const DigestManifest::Match match = mManifest->check(name, UnzippedBinFileData.at(i));
            if (match != DigestManifest::Match::Matches)
                verdict = {std::nullopt, QStringLiteral("its content %1").arg(DigestManifest::describe(match))};
        }
        myDevicesInfo.append(verdict.record);
        if (!verdict.record) {
            logNeverOffered(name, verdict.problem);
            continue;
        }
        tKind = name.contains(kTKindToken, Qt::CaseSensitive);
    }
    return tKind;
}

std::optional<bool> FirmwareCatalogue::prepare(const Resources &resources, bool *plain)
{
    *plain = loadPlainImages(resources);
    if (!*plain)
        loadEncryptedResources(resources);
    const std::optional<bool> tKind = readHeaders();
    // Every camera will be told that there is no firmware; the log says why.
    if (holdsNoImage()) {
        QString cause;
        if (count() > 0)
            cause = QStringLiteral("each of its %1 images was refused (see above)").arg(count());
        else if (resources.pathsForResources(QStringLiteral("resource")).size() == 3)
            cause = QStringLiteral("the firmware catalogue could not be opened (see above)");
        else
            cause = QStringLiteral("%1 holds no images in Opt/ and no firmware catalogue").arg(resources.folder());
        systemLog(QStringLiteral("prepareData - no firmware to offer any camera: %1").arg(cause));
    }
    return tKind;
}

int FirmwareCatalogue::lastImageNamed(QStringView token) const
{
    int index = -1;
    for (qsizetype i = 0; i < myDevicesInfo.size() && i < count(); ++i) {
        if (myDevicesInfo.at(i) && UnzippedBinFileNames.at(i).contains(token, Qt::CaseSensitive))
            index = static_cast<int>(i);
    }
    return index;
}

bool FirmwareCatalogue::holdsNoImage() const
{
    return std::none_of(myDevicesInfo.begin(), myDevicesInfo.end(), [](const auto &record) { return record.has_value(); });
}

void FirmwareCatalogue::clear()
{
    UnzippedBinFileData.clear();
    UnzippedBinFileNames.clear();
    UnzippedBinFileByteLengths.clear();
    myDevicesInfo.clear();
    mManifest.reset();
}
