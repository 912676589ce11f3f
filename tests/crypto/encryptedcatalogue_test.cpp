// The firmware catalogue at launch, plain or encrypted: files from lumivex-pack and files made
// another way load alike; damaged files leave the catalogue absent with one log line naming file
// and reason; lumivex-pack on the command line, its warnings, statuses and manifest.
#include "app/appdelegate.h"
#include "payload/aescodec.h"
#include "payload/encryptedcatalogue.h"
#include "tests/support/testsupport.h"
#include "tools/firmwareimagebuilder.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct Image { QString name; QByteArray bytes; };

QList<Image> images(const char *token)
{
    QList<Image> out;
    for (const uint16_t version : {0x0100, 0x0abc})
        out.append({QStringLiteral("LUMIVEX_%1_%2.bin").arg(QLatin1String(token)).arg(version, 4, 16, QLatin1Char('0')),
                    FirmwareImageBuilder().version(version).pid(0x5201 + out.size()).flashLength(0x3000 + version).build()});
    return out;
}

struct ToolRun { int exitCode; QString out, err; };

ToolRun lumivexPack(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(LUMIVEX_PACK_PATH), arguments);
    const bool finished = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    return {finished ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// Packs the images into folder/res.
void pack(const ScratchFolder &folder, const QList<Image> &images)
{
    for (const Image &i : images)
        folder.write(QStringLiteral("images/") + i.name, i.bytes);
    const ToolRun run = lumivexPack({QStringLiteral("pack"), folder.filePath(QStringLiteral("images")), folder.filePath(QStringLiteral("res"))});
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
}

// Every kind of catalogue at launch: plain images (which force the update), files from
// lumivex-pack or made another way, and none at all, which is the S kind: the launch still asks for
// a camera, without an information file too. (Damaged files leave no catalogue: below.)
TEST(EncryptedCatalogue, EachCatalogueLoadsAtLaunchAndNamesItsProduct)
{
    enum Made { PlainT, PlainS, Packed, ByAnotherTool, Nothing };
    for (const Made made : {PlainT, PlainS, Packed, ByAnotherTool, Nothing}) {
        SCOPED_TRACE(made);
        const ScratchFolder scratch;
        const QString madeHere = scratch.filePath(QStringLiteral("res"));
        const QList<Image> wanted = images(made == PlainS ? "RZ6610M" : "RZ52940");
        if (made == PlainT || made == PlainS) {
            for (const Image &i : wanted)
                scratch.write(QStringLiteral("res/Opt/") + i.name, i.bytes);
        } else if (made == ByAnotherTool) {
            // Made once from these images: archived node by node with libplist (mutable and plain
            // elements mixed, as a platform archiver may) and encrypted by `openssl enc
            // -aes-256-cbc -K <SHA-256 of the key string> -iv 0`, so neither our writer nor our codec.
            QDir().mkpath(madeHere);
            for (const QString name : {"1.resource", "2.resource", "3.resource"})
                ASSERT_TRUE(QFile::copy(QString(LUMIVEX_CRYPTO_DATA "/anothermaker/") + name, madeHere + u'/' + name));
        } else if (made != Nothing) {
            pack(scratch, wanted);
            EXPECT_EQ(QDir(madeHere).entryList(QDir::Files),
                      (QStringList{EncryptedCatalogue::kFileNames.begin(), EncryptedCatalogue::kFileNames.end()} << "SHA256SUMS"));
        }

        StderrCapture capture;
        MainWindow window;
        AppDelegate delegate(window, Resources(madeHere));
        delegate.applicationDidFinishLaunching();
        drainMainQueue();

        const FirmwareCatalogue &catalogue = delegate.myCatalogue;
        const bool none = made == Nothing;
        const QList<Image> expected = none ? QList<Image>() : wanted;
        ASSERT_TRUE(catalogue.count() == expected.size() && catalogue.myDevicesInfo.size() == expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i)
            EXPECT_TRUE(catalogue.UnzippedBinFileNames.at(i) == expected[i].name && catalogue.UnzippedBinFileData.at(i) == expected[i].bytes
                        && catalogue.UnzippedBinFileByteLengths.at(i) == quint64(expected[i].bytes.size())
                        && catalogue.myDevicesInfo.at(i)->pid() == 0x5201 + i) << i;
        const QString product = none || made == PlainS ? QStringLiteral("LUMIVEX S") : QStringLiteral("LUMIVEX T");
        EXPECT_EQ(std::tuple(delegate.firmwareProductName, window.windowTitle(), delegate.forceUpdate),
                  std::tuple(product, product + QStringLiteral(" Firmware Updater"), made == PlainT || made == PlainS));
        EXPECT_FALSE(capture.lines().filter(QStringLiteral("progressText.frame text: Please connect your %1 camera.").arg(product)).isEmpty());
        // Only an empty folder is logged: it names why no camera will be offered anything.
        const QStringList prepared = capture.lines().filter(QStringLiteral("prepareData - "));
        EXPECT_TRUE(none ? prepared.size() == 1 && prepared[0].endsWith(u"holds no images in Opt/ and no firmware catalogue") : prepared.isEmpty());
        // No information file here either: the launch names what is missing (the folder itself when
        // nothing was made) and builds no menu title around a blank device name.
        const QStringList problems = capture.lines().filter(QStringLiteral("applicationDidFinishLaunching - "));
        EXPECT_TRUE(problems.size() == 1 && problems[0].endsWith(madeHere + (made == Nothing ? " does not exist" : "/Info.json is missing")))
            << qPrintable(problems.join(u'\n'));
        EXPECT_EQ(window.applicationMenu()->title(), QStringLiteral("Firmware Updater"));
    }
}

TEST(EncryptedCatalogue, DamagedFilesLeaveTheCatalogueAbsentWithOneLogLine)
{
    const ScratchFolder folder;
    const QList<Image> i = images("RZ6610M");
    const auto seal = [](const QList<ArchiveValue> &values) { return EncryptedCatalogue::sealFile(values); };
    const QByteArray data = seal({i[0].bytes, i[1].bytes}), names = seal({i[0].name, i[1].name});
    const QByteArray lengths = seal({quint64(i[0].bytes.size()), quint64(i[1].bytes.size())});

    struct Row { QByteArray images, names, lengths; const char *file; const char *reason; };
    const Row rows[] = {
        {data.chopped(5), names, lengths, "a-images", "InputAlignmentException Input size was not aligned properly."},
        {data, names, QByteArray(), "c-lengths", "DecryptionException. Input data did not decode or decrypt properly."},
        // What a wrong key that still finds valid padding opens to (about one wrong key in 256).
        {data, *AESData(QByteArray(64, '\x3c')).encryptWithString(EncryptedCatalogue::keyString()), lengths, "b-names",
         "not a binary property list"},
        {data, seal({i[0].name}), lengths, "b-names", "holds 1 names for 2 images"},
        {data, names, seal({quint64(1), quint64(2), quint64(3)}), "c-lengths", "holds 3 lengths for 2 images"},
        {data, seal({i[0].name, quint64(2)}), lengths, "b-names", "not all strings: element 1 is not a string"},
        {seal({QStringLiteral("x"), QStringLiteral("y")}), names, lengths, "a-images", "not all data: element 0 is not data"},
        {data, names, seal({QByteArray("1"), QByteArray("2")}), "c-lengths",
         "not all unsigned integers: element 0 is not an unsigned integer"},
        {data, names, seal({quint64(i[0].bytes.size()), quint64(i[1].bytes.size() - 1)}), "c-lengths",
         "image 1 (LUMIVEX_RZ6610M_0abc.bin)"},
    };
    for (const Row &row : rows) {
        for (const auto &[name, bytes] : {std::pair{"a-images", row.images}, {"b-names", row.names}, {"c-lengths", row.lengths}})
            folder.write(QStringLiteral("res/%1.resource").arg(QLatin1String(name)), bytes);
        StderrCapture capture;
        FirmwareCatalogue catalogue;
        catalogue.loadEncryptedResources(Resources(folder.filePath(QStringLiteral("res"))));
        EXPECT_TRUE(catalogue.count() == 0 && catalogue.UnzippedBinFileData.isEmpty()
                    && catalogue.UnzippedBinFileByteLengths.isEmpty()) << row.reason;
        const QStringList lines = capture.lines().filter(QStringLiteral("prepareData - "));
        EXPECT_TRUE(lines.size() == 1 && lines[0].contains(QLatin1String(row.file) + QLatin1String(".resource"))
                    && lines[0].contains(QLatin1String(row.reason))) << qPrintable(lines.join(u'\n'));
    }
}

TEST(EncryptedCatalogue, PackAndListOnTheCommandLine)
{
    const ScratchFolder folder;
    const QList<Image> i = images("RZ52940");
    pack(folder, i);
    const ToolRun list = lumivexPack({QStringLiteral("list"), folder.filePath(QStringLiteral("res"))});
    QStringList listed; // under a heading line, each image checked against SHA256SUMS
    for (const QString &line : list.out.split(u'\n', Qt::SkipEmptyParts).mid(1))
        listed.append(line.simplified());
    const QString matches = QStringLiteral(" matches its SHA-256 in SHA256SUMS");
    EXPECT_EQ(listed, (QStringList{QStringLiteral("%1 %2 0100 F055 5201").arg(i[0].name).arg(i[0].bytes.size()) + matches,
                                   QStringLiteral("%1 %2 0ABC F055 5202").arg(i[1].name).arg(i[1].bytes.size()) + matches}))
        << qPrintable(list.err);
    EXPECT_EQ(list.exitCode, 0);

    // Each failure: one line naming the reason, and nothing written. An image the updater would
    // never offer: a warning line, and the image left out when too large to write; nothing written
    // at all when no image would ever be offered. Of two T images only the later is offered; the
    // S image beside them is offered too.
    QDir().mkpath(folder.filePath(QStringLiteral("empty")));
    folder.write(QStringLiteral("other/old.resource"), QByteArray("x"));
    for (const char name : {'a', 'b', 'c'})
        folder.write(QStringLiteral("damaged/%1.resource").arg(name), QByteArray(16, name));
    folder.write(QStringLiteral("bad/blank_RZ52940.bin"), QByteArray(0x4000, '\0'));
    folder.write(QStringLiteral("bad/unnamed.bin"), i[0].bytes);
    folder.write(QStringLiteral("images/huge_RZ52940.bin"), {});
    folder.write(QStringLiteral("images/") + images("RZ6610M")[0].name, images("RZ6610M")[0].bytes);
    ASSERT_TRUE(QFile::resize(folder.filePath(QStringLiteral("images/huge_RZ52940.bin")), qint64(2) << 30)); // sparse
    struct Row { QStringList arguments; int exitCode; QStringList lines; QString out = {}; };
    const Row rows[] = {
        {{"pack", folder.filePath("empty"), folder.filePath("out")}, 1, {"no firmware images"}},
        {{"pack", folder.filePath("missing"), folder.filePath("out")}, 1, {"is not a folder"}},
        {{"pack", folder.filePath("images"), folder.filePath("other")}, 1, {"old.resource"}},
        {{"list", folder.filePath("images")}, 1, {"holds 0 .resource file(s)"}},
        {{"list", folder.filePath("damaged")}, 1, {"a.resource: DecryptionException."}},
        {{"pack", folder.filePath("images")}, 2, {"usage"}},
        {{"pack", folder.filePath("bad"), folder.filePath("out")}, 3,
         {"blank_RZ52940.bin: blank", "unnamed.bin: the name holds neither RZ52940", "nothing written"}},
        {{"pack", folder.filePath("images"), folder.filePath("out")}, 0,
         {"huge_RZ52940.bin: 2147483648 bytes, more than the 1048580", i[0].name + ": " + i[1].name + " comes later for the same kind"},
         "packed 3 image(s) into " + folder.filePath("out") + ", 2 of them offered to cameras"},
    };
    for (const Row &row : rows) {
        const ToolRun run = lumivexPack(row.arguments);
        const QStringList lines = run.err.split(u'\n', Qt::SkipEmptyParts);
        EXPECT_TRUE(run.exitCode == row.exitCode && lines.size() == row.lines.size() && run.out.contains(row.out)
                    && QFile::exists(folder.filePath(QStringLiteral("out"))) == (row.exitCode == 0)) << qPrintable(run.err);
        for (qsizetype k = 0; k < lines.size(); ++k)
            EXPECT_TRUE(lines[k].startsWith(QLatin1String("lumivex-pack: ")) && lines[k].contains(row.lines.value(k))) << qPrintable(lines[k]);
    }

    // Under the manifest, a flipped bit inside the encrypted images is never offered, and the
    // listing names the image a tampered manifest no longer vouches for, lists the rest and fails.
    QFile sealed(folder.filePath(QStringLiteral("out/catalogue-1-images.resource"))), sums(folder.filePath(QStringLiteral("out/SHA256SUMS")));
    ASSERT_TRUE(sealed.open(QIODevice::ReadWrite) && sealed.seek(sealed.size() / 3));
    const char byte = sealed.peek(1).at(0);
    sealed.write(QByteArray(1, char(byte ^ 1)));
    sealed.close();
    FirmwareCatalogue damaged;
    bool plain = false;
    damaged.prepare(Resources(folder.filePath(QStringLiteral("out"))), &plain);
    EXPECT_FALSE(damaged.myDevicesInfo.value(0) && damaged.myDevicesInfo.value(1));
    ASSERT_TRUE(sums.open(QIODevice::ReadWrite));
    sums.write(sums.peek(1) == "0" ? "1" : "0");
    sums.close();
    const ToolRun tampered = lumivexPack({QStringLiteral("list"), folder.filePath(QStringLiteral("out"))});
    EXPECT_TRUE(tampered.exitCode == 1 && tampered.out.contains(QStringLiteral("differs from its SHA-256"))
                && tampered.out.contains(i[1].name) && tampered.err.contains(i[0].name + QStringLiteral(" differs from its SHA-256"))) << qPrintable(tampered.out + tampered.err);
}

} // namespace
