// lumivex-pack: writes the updater's encrypted firmware catalogue from a folder of firmware images,
// and lists what such a catalogue holds.
#include "payload/encryptedcatalogue.h"
#include "payload/firmwarecatalogue.h"
#include "platform/resources.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;

int failWith(const QString &reason)
{
    std::fprintf(stderr, "lumivex-pack: %s\n", qPrintable(reason));
    return kFailure;
}

QString hex4(int32_t value)
{
    return QStringLiteral("%1").arg(uint(value), 4, 16, QLatin1Char('0')).toUpper();
}

int pack(const QString &imagesFolder, const QString &outFolder)
{
    if (!QFileInfo(imagesFolder).isDir())
        return failWith(QStringLiteral("%1 is not a folder").arg(imagesFolder));
    const QStringList paths = FirmwareCatalogue::plainImagePaths(Resources(imagesFolder), {});
    if (paths.isEmpty())
        return failWith(QStringLiteral("no firmware images (*.BIN, *.bin, *.Bin) in %1").arg(imagesFolder));

    if (!QDir().mkpath(outFolder))
        return failWith(QStringLiteral("cannot create the folder %1").arg(outFolder));
    // The updater ignores the catalogue unless the folder holds exactly its three files.
    for (const QString &existing : Resources(outFolder).pathsForResources(QStringLiteral("resource"))) {
        const QString name = QFileInfo(existing).fileName();
        if (std::find(EncryptedCatalogue::kFileNames.begin(), EncryptedCatalogue::kFileNames.end(), name)
            == EncryptedCatalogue::kFileNames.end())
            return failWith(QStringLiteral("%1 already holds %2; remove it first: the updater needs exactly three .resource files")
                                .arg(outFolder, name));
    }

    EncryptedCatalogue::Contents contents;
    for (const QString &path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return failWith(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        const QByteArray data = file.readAll();
        const QString name = QFileInfo(path).fileName();
        if (!FirmwareCatalogue::recordOf(data))
            std::fprintf(stderr, "lumivex-pack: warning: %s: firmware header rejected; the updater will never offer it\n",
                         qPrintable(name));
        contents.images.append(data);
        contents.names.append(name);
        contents.lengths.append(quint64(data.size()));
    }

    QString error;
    if (!EncryptedCatalogue::write(outFolder, contents, &error))
        return failWith(error);
    std::printf("packed %lld image(s) into %s\n", static_cast<long long>(paths.size()), qPrintable(outFolder));
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

    std::printf("%-40s %10s  %-8s %-6s %-6s\n", "file name", "length", "version", "VID", "PID");
    for (qsizetype i = 0; i < contents->names.size(); ++i) {
        const QByteArray name = contents->names.at(i).toUtf8();
        const auto length = static_cast<unsigned long long>(contents->lengths.at(i));
        if (const std::optional<BinFileInfo> info = FirmwareCatalogue::recordOf(contents->images.at(i))) {
            std::printf("%-40s %10llu  %-8s %-6s %-6s\n", name.constData(), length,
                        qPrintable(hex4(info->firmwareVersion())), qPrintable(hex4(info->vid())),
                        qPrintable(hex4(info->pid())));
        } else {
            std::printf("%-40s %10llu  header rejected: never offered\n", name.constData(), length);
        }
    }
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
        "      Image names must hold RZ52940 (LUMIVEX T) or RZ6610M (LUMIVEX S).\n"
        "\n"
        "  list <folder>\n"
        "      Decrypts the three .resource files of <folder> and prints each image's file name,\n"
        "      length, firmware version, USB vendor id and product id.\n"
        "\n"
        "Exit status 0 on success, 1 with a one-line reason on standard error on any failure,\n"
        "2 on a usage error."));
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
