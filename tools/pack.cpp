// lumivex-pack: writes the updater's encrypted firmware catalogue from a folder of firmware images,
// and lists what such a catalogue holds.
#include "device/camerakind.h"
#include "payload/digestmanifest.h"
#include "payload/encryptedcatalogue.h"
#include "payload/firmwarecatalogue.h"
#include "platform/resources.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;
constexpr int kNothingOffered = 3;

// The kinds the updater tells apart; each is offered one image of the catalogue.
constexpr std::array kKinds{*cameraKindOf(kChipTKind), *cameraKindOf(kChipSKind)};

int failWith(const QString &reason)
{
    std::fprintf(stderr, "lumivex-pack: %s\n", qPrintable(reason));
    return kFailure;
}

void warn(const QString &name, const QString &problem)
{
    std::fprintf(stderr, "lumivex-pack: warning: %s: %s; the updater will never offer it\n", qPrintable(name),
                 qPrintable(problem));
}

// The manifest beside the three files, replaced whole or not at all.
bool writeManifest(const QString &folder, const EncryptedCatalogue::Contents &contents, QString *error)
{
    QSaveFile file(QDir(folder).filePath(DigestManifest::kFileName));
    if (file.open(QIODevice::WriteOnly) && file.write(DigestManifest::format(contents.names, contents.images)) >= 0
        && file.commit())
        return true;
    *error = QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString());
    return false;
}

// The updater offers a camera only the last accepted image named for its kind, so an earlier one
// for the same kind is dead weight a packager should hear about. Returns how many are offered.
int warnShadowed(const FirmwareCatalogue &catalogue)
{
    std::array<int, kKinds.size()> last{};
    std::transform(kKinds.begin(), kKinds.end(), last.begin(),
                   [&](const CameraKind &kind) { return catalogue.lastImageNamed(kind.token); });
    int offered = 0;
    for (qsizetype i = 0; i < catalogue.count(); ++i) {
        if (!catalogue.myDevicesInfo.at(i))
            continue;
        const QString &name = catalogue.UnzippedBinFileNames.at(i);
        std::optional<std::size_t> shadowedBy; // the first kind named, when the image is offered to none
        bool isLast = false;
        for (std::size_t k = 0; k < kKinds.size(); ++k) {
            if (!name.contains(kKinds[k].token))
                continue;
            isLast = isLast || last[k] == i;
            shadowedBy = shadowedBy.value_or(k);
        }
        if (isLast)
            ++offered;
        else if (shadowedBy)
            warn(name, QStringLiteral("%1 comes later for the same kind (%2)")
                           .arg(catalogue.UnzippedBinFileNames.at(last[*shadowedBy]), kKinds[*shadowedBy].token));
    }
    return offered;
}

int pack(const QString &imagesFolder, const QString &outFolder)
{
    if (!QFileInfo(imagesFolder).isDir())
        return failWith(QStringLiteral("%1 is not a folder").arg(imagesFolder));
    const QStringList paths = FirmwareCatalogue::plainImagePaths(Resources(imagesFolder), {});
    if (paths.isEmpty())
        return failWith(QStringLiteral("no firmware images (*.BIN, *.bin, *.Bin) in %1").arg(imagesFolder));

    // The updater ignores the catalogue unless the folder holds exactly its three files.
    for (const QString &existing : Resources(outFolder).pathsForResources(QStringLiteral("resource"))) {
        const QString name = QFileInfo(existing).fileName();
        if (std::find(EncryptedCatalogue::kFileNames.begin(), EncryptedCatalogue::kFileNames.end(), name)
            == EncryptedCatalogue::kFileNames.end())
            return failWith(QStringLiteral("%1 already holds %2; remove it first: the updater needs exactly three .resource files")
                                .arg(outFolder, name));
    }

    EncryptedCatalogue::Contents contents;
    FirmwareCatalogue offer; // what the updater makes of the packed images, to ask it what it offers
    for (const QString &path : paths) {
        const QString name = QFileInfo(path).fileName();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return failWith(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        // Never read an image whole that the updater would not read either.
        QString problem;
        const std::optional<QByteArray> image = FirmwareCatalogue::readImage(file, &problem);
        if (!image) {
            warn(name, problem + QStringLiteral("; not packed"));
            continue;
        }
        const QByteArray &data = *image;
        const FirmwareCatalogue::ImageVerdict verdict = FirmwareCatalogue::judgeImage(data);
        const bool named = name.contains(kTKindToken) || name.contains(kSKindToken);
        if (!verdict.record)
            warn(name, verdict.problem);
        else if (!named)
            warn(name, QStringLiteral("the name holds neither %1 (LUMIVEX T) nor %2 (LUMIVEX S)").arg(kTKindToken, kSKindToken));
        contents.images.append(data);
        contents.names.append(name);
        contents.lengths.append(quint64(data.size()));
        offer.myDevicesInfo.append(verdict.record);
    }
    offer.UnzippedBinFileNames = contents.names;
    const int offered = warnShadowed(offer);
    if (offered == 0) {
        std::fprintf(stderr, "lumivex-pack: nothing in %s would ever be offered to a camera; nothing written\n",
                     qPrintable(imagesFolder));
        return kNothingOffered;
    }

    QString error;
    if (!QDir().mkpath(outFolder))
        return failWith(QStringLiteral("cannot create the folder %1").arg(outFolder));
    if (!EncryptedCatalogue::write(outFolder, contents, &error) || !writeManifest(outFolder, contents, &error))
        return failWith(error);
    std::printf("packed %lld image(s) into %s, %d of them offered to cameras\n", static_cast<long long>(contents.names.size()),
                qPrintable(outFolder), offered);
    return 0;
}

int list(const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        return failWith(QStringLiteral("%1 is not a folder").arg(folder));
    const QStringList paths = Resources(folder).pathsForResources(QStringLiteral("resource"));
    if (paths.size() != 3)
        return failWith(QStringLiteral("%1 holds %2 .resource file(s); a catalogue is exactly three").arg(folder).arg(paths.size()));

    EncryptedCatalogue::Failure failure;
    std::optional<EncryptedCatalogue::Contents> contents = EncryptedCatalogue::open(paths, &failure);
    if (!contents)
        return failWith(QStringLiteral("%1: %2").arg(failure.file, failure.reason));

    QString problem;
    const std::optional<DigestManifest> manifest = DigestManifest::load(folder, &problem);
    if (!manifest)
        std::printf("no %s in %s: the images' digests are not checked\n", DigestManifest::kFileName.data(), qPrintable(folder));
    else if (!problem.isEmpty())
        std::printf("%s %s: no image is offered\n", DigestManifest::kFileName.data(), qPrintable(problem));

    std::printf("%-40s %10s  %-8s %-6s %-6s %s\n", "file name", "length", "version", "VID", "PID", "digest");
    QStringList refused; // images the manifest does not vouch for, which the updater never offers
    for (qsizetype i = 0; i < contents->names.size(); ++i) {
        const QByteArray name = contents->names.at(i).toUtf8();
        const auto length = static_cast<unsigned long long>(contents->lengths.at(i));
        QString digest = manifest ? QStringLiteral("unchecked: %1 unreadable").arg(DigestManifest::kFileName) : QStringLiteral("unchecked");
        if (manifest && problem.isEmpty()) {
            const DigestManifest::Match match = manifest->check(contents->names.at(i), contents->images.at(i));
            digest = DigestManifest::describe(match);
            if (match != DigestManifest::Match::Matches)
                refused.append(contents->names.at(i) + u' ' + digest);
        }
        const FirmwareCatalogue::ImageVerdict verdict = FirmwareCatalogue::judgeImage(contents->images.at(i));
        if (const std::optional<BinFileInfo> &info = verdict.record) {
            std::printf("%-40s %10llu  %-8s %-6s %-6s %s\n", name.constData(), length,
                        qPrintable(versionText(uint32_t(info->firmwareVersion()))), qPrintable(versionText(uint32_t(info->vid()))),
                        qPrintable(versionText(uint32_t(info->pid()))), qPrintable(digest));
        } else {
            std::printf("%-40s %10llu  never offered: %s; %s\n", name.constData(), length, qPrintable(verdict.problem),
                        qPrintable(digest));
        }
    }
    // The listing above is for reading; the status is for a release script, which must not ship
    // a catalogue the updater would partly or wholly refuse.
    if (manifest && !problem.isEmpty())
        return failWith(QStringLiteral("%1: %2 %3: no image is offered").arg(folder, DigestManifest::kFileName, problem));
    if (!refused.isEmpty())
        return failWith(QStringLiteral("%1: never offered: %2").arg(folder, refused.join(QStringLiteral("; "))));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumivex-pack"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes and checks the encrypted firmware catalogue of the LUMIVEX Firmware Updater.\n"
        "\n"
        "  pack <images-folder> <out-folder>\n"
        "      Packs the firmware images of <images-folder> (*.BIN, then *.bin, then *.Bin, each\n"
        "      sorted by name; the updater offers the last matching image) into three encrypted\n"
        "      files in <out-folder>:\n"
        "        catalogue-1-images.resource   the image bytes\n"
        "        catalogue-2-names.resource    their file names\n"
        "        catalogue-3-lengths.resource  their lengths\n"
        "      Copy the three files to the top of the updater's resources folder and leave its\n"
        "      Opt/ folder empty: plain images there take precedence over the catalogue.\n"
        "      Image names must hold RZ52940 (LUMIVEX T) or RZ6610M (LUMIVEX S). An image the\n"
        "      updater would never offer is reported with a warning (one too large for the\n"
        "      flash is left out), as is one shadowed by a later image for the same kind: a\n"
        "      camera is offered only the last. The summary counts the images offered.\n"
        "      SHA256SUMS, the SHA-256 of every packed image, is written beside the three\n"
        "      files: the updater offers only images whose digest it names.\n"
        "\n"
        "  list <folder>\n"
        "      Decrypts the three .resource files of <folder> (a packed catalogue, not a folder\n"
        "      of plain images) and prints each image's file name, length, firmware version,\n"
        "      USB vendor id and product id, and whether it matches its digest in SHA256SUMS.\n"
        "      It fails, after listing every image, when any image differs from its digest or\n"
        "      is not named in SHA256SUMS, or when SHA256SUMS cannot be read.\n"
        "\n"
        "Exit status 0 on success, 1 with a one-line reason on standard error on any failure,\n"
        "2 on a usage error, 3 when pack finds no image the updater would ever offer (then\n"
        "nothing is written)."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("pack or list"));
    parser.addPositionalArgument(QStringLiteral("folders"), QStringLiteral("the command's folders"), QStringLiteral("<folder>..."));
    parser.process(app);

    const QStringList arguments = parser.positionalArguments();
    const QString command = arguments.value(0);
    if (command == QLatin1String("pack") && arguments.size() == 3)
        return pack(arguments.at(1), arguments.at(2));
    if (command == QLatin1String("list") && arguments.size() == 2)
        return list(arguments.at(1));
    std::fprintf(stderr, "lumivex-pack: usage: lumivex-pack pack <images-folder> <out-folder> | list <folder> (see --help)\n");
    return kUsage;
}
