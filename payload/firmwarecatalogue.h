// The firmware the updater carries: image bytes, file names and byte lengths in three index-aligned
// arrays, and the header record of each image.
#pragma once

#include "payload/binfileinfo.h"
#include "payload/digestmanifest.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <optional>

class QFile;
class Resources;

// Model tokens in image file names: the T-kind bridge chip and the S-kind one.
inline constexpr QStringView kTKindToken = u"RZ52940";
inline constexpr QStringView kSKindToken = u"RZ6610M";

// The most flash content (an image without its prefix) the updater writes: what the largest part
// it programs holds (8 Mbit), well inside the serial flash's 24-bit address space. A larger image
// is never read, let alone offered.
inline constexpr quint64 kLargestFlashContent = quint64(1) << 20;

class FirmwareCatalogue
{
public:
    QList<QByteArray> UnzippedBinFileData;
    QStringList UnzippedBinFileNames;
    QList<quint64> UnzippedBinFileByteLengths;
    // Index i describes image i; empty where the image's header was rejected, so that a rejected
    // image never lends its neighbour's record.
    QList<std::optional<BinFileInfo>> myDevicesInfo;

    qsizetype count() const { return UnzippedBinFileNames.size(); }

    // The plain images of a folder in the order the catalogue takes them: *.BIN, then *.bin, then
    // *.Bin, each sorted by name.
    static QStringList plainImagePaths(const Resources &resources, const QString &subfolder);

    // What the catalogue makes of an image file: its record, or why it is never offered.
    struct ImageVerdict
    {
        std::optional<BinFileInfo> record;
        QString problem;
    };
    static ImageVerdict judgeImage(const QByteArray &image);

    // Why an image file of this size is never read; nothing when it may be.
    static std::optional<QString> sizeProblem(quint64 fileSize);

    // An opened image file's bytes, judged by its size before they are read and read no further
    // than the limit, in case the file grows meanwhile; nothing, with the size problem, when the
    // file is too large to be an image.
    static std::optional<QByteArray> readImage(QFile &file, QString *problem);

    // Plain images from the "Opt" folder: *.BIN, then *.bin, then *.Bin. True when any was listed,
    // in which case they replace the catalogue. An image too large to be written is skipped
    // unread.
    bool loadPlainImages(const Resources &resources);

    // The three encrypted ".resource" files at the top of the resources folder (images, names,
    // lengths). A catalogue that cannot be opened stays absent.
    void loadEncryptedResources(const Resources &resources);

    // Parses every image's header into myDevicesInfo. Under a digest manifest (SHA256SUMS beside
    // the images) an image is accepted only when the manifest names it with its digest. Returns
    // whether the last accepted image is of the T kind, or nothing when none was accepted.
    std::optional<bool> readHeaders();

    // The whole load as the launch does it: the plain images, else the encrypted catalogue, then
    // the headers. plain tells which source gave the images; the result is readHeaders'.
    std::optional<bool> prepare(const Resources &resources, bool *plain);

    // The last image with an accepted header whose name holds token; -1 when there is none.
    int lastImageNamed(QStringView token) const;
    // True when no image at all was accepted: there is nothing to offer any camera.
    bool holdsNoImage() const;

    void clear();

private:
    void loadManifest(const QString &folder);

    // Present when the images came with a manifest; one that could not be read names nothing.
    std::optional<DigestManifest> mManifest;
};
