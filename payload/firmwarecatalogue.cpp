// The firmware the updater carries: image bytes, file names and byte lengths in three index-aligned
// arrays, and the header record of each image.
#include "payload/firmwarecatalogue.h"

#include "payload/encryptedcatalogue.h"
#include "payload/firmwareheader.h"
#include "platform/resources.h"
#include "platform/systemlog.h"

#include <QFile>
#include <QFileInfo>

#include <span>

namespace {

std::span<const uint8_t> asBytes(const QByteArray &data)
{
    return {reinterpret_cast<const uint8_t *>(data.constData()), static_cast<size_t>(data.size())};
}

} // namespace

QStringList FirmwareCatalogue::plainImagePaths(const Resources &resources, const QString &subfolder)
{
    QStringList paths;
    for (const char *type : {"BIN", "bin", "Bin"})
        paths += resources.pathsForResources(QString::fromLatin1(type), subfolder);
    return paths;
}

std::optional<BinFileInfo> FirmwareCatalogue::recordOf(const QByteArray &image)
{
    const std::span<const uint8_t> file = asBytes(image);
    _QLV2_FW_INFO info{};
    if (file.size() < FirmwareHeader::kImagePrefixSize
        || !parseQLV2FirmwareInfo(info, file.subspan(FirmwareHeader::kImagePrefixSize)))
        return std::nullopt;
    BinFileInfo record;
    record.setPID(info.UserSpaceData.PID);
    record.setVID(info.UserSpaceData.VID);
    record.setFirmwareVersion(info.UserSpaceData.FirmwareVersion);
    return record;
}

bool FirmwareCatalogue::loadPlainImages(const Resources &resources)
{
    const QStringList paths = plainImagePaths(resources, QStringLiteral("Opt"));
    if (paths.isEmpty())
        return false;

    clear();
    for (const QString &path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            // Skipping keeps the three arrays aligned; the rest of the catalogue stays usable.
            systemLog(QStringLiteral("prepareData - cannot read %1: %2").arg(path, file.errorString()));
            continue;
        }
        const QByteArray data = file.readAll();
        UnzippedBinFileData.append(data);
        UnzippedBinFileNames.append(QFileInfo(path).fileName());
        UnzippedBinFileByteLengths.append(static_cast<quint64>(data.size()));
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
}

std::optional<bool> FirmwareCatalogue::readHeaders()
{
    std::optional<bool> tKind;
    myDevicesInfo.clear();
    const qsizetype images = std::min(count(), UnzippedBinFileData.size());
    for (qsizetype i = 0; i < images; ++i) {
        const std::optional<BinFileInfo> record = recordOf(UnzippedBinFileData.at(i));
        myDevicesInfo.append(record);
        if (!record) {
            systemLog(QStringLiteral("prepareData - %1: firmware header rejected").arg(UnzippedBinFileNames.at(i)));
            continue;
        }
        tKind = UnzippedBinFileNames.at(i).contains(kTKindToken, Qt::CaseSensitive);
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

void FirmwareCatalogue::clear()
{
    UnzippedBinFileData.clear();
    UnzippedBinFileNames.clear();
    UnzippedBinFileByteLengths.clear();
    myDevicesInfo.clear();
}
