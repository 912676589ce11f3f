// The encrypted firmware catalogue at launch: files from lumivex-pack and files made another way
// load alike; damaged files leave the catalogue absent with one log line naming file and reason.
#include "app/appdelegate.h"
#include "payload/aescodec.h"
#include "payload/encryptedcatalogue.h"
#include "payload/firmwarecatalogue.h"
#include "tests/crypto/handmadearchive.h"
#include "tests/support/testsupport.h"
#include "tools/firmwareimagebuilder.h"
#include "ui/localization.h"
#include "ui/mainwindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

// The key string as the catalogue was always made: Base64 of the UTF-8 pass phrase.
const QString kKeyString = QString::fromLatin1(QByteArray("quillomar_51903748").toBase64());

struct Image { QString name; QByteArray bytes; };

Image image(const char *token, uint16_t version, uint16_t pid = 0x5201)
{
    return {QStringLiteral("LUMIVEX_%1_%2.bin").arg(QLatin1String(token)).arg(version, 4, 16, QLatin1Char('0')),
            FirmwareImageBuilder().version(version).pid(pid).flashLength(0x3000 + version).build()};
}

struct ToolRun { int exitCode; QString out, err; };

ToolRun lumivexPack(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(LUMIVEX_PACK_PATH), arguments);
    if (!process.waitForFinished(60000))
        return {-1, {}, QStringLiteral("lumivex-pack did not finish")};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

QStringList catalogueLogLines(StderrCapture &capture)
{
    return capture.lines().filter(QStringLiteral("prepareData - "));
}

QString resourcesOf(const ScratchFolder &folder)
{
    return folder.filePath(QStringLiteral("res"));
}

void packInto(const ScratchFolder &folder, const QList<Image> &images)
{
    for (const Image &i : images)
        folder.write(QStringLiteral("images/") + i.name, i.bytes);
    const ToolRun run = lumivexPack({QStringLiteral("pack"), folder.filePath(QStringLiteral("images")), resourcesOf(folder)});
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
}

class EncryptedCatalogueTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { installStringTables(*QCoreApplication::instance(), QStringLiteral("en")); }

    // The three files written directly, one array each.
    void writeFiles(const QByteArray &images, const QByteArray &names, const QByteArray &lengths)
    {
        folder.write(QStringLiteral("res/a-images.resource"), images);
        folder.write(QStringLiteral("res/b-names.resource"), names);
        folder.write(QStringLiteral("res/c-lengths.resource"), lengths);
    }

    ScratchFolder folder;
    const QString resources = resourcesOf(folder);
};

void expectCatalogue(const FirmwareCatalogue &catalogue, const QList<Image> &images)
{
    ASSERT_EQ(catalogue.count(), images.size());
    ASSERT_EQ(catalogue.UnzippedBinFileData.size(), images.size());
    ASSERT_EQ(catalogue.UnzippedBinFileByteLengths.size(), images.size());
    for (qsizetype i = 0; i < images.size(); ++i) {
        EXPECT_EQ(catalogue.UnzippedBinFileNames.at(i), images.at(i).name);
        EXPECT_EQ(catalogue.UnzippedBinFileData.at(i), images.at(i).bytes);
        EXPECT_EQ(catalogue.UnzippedBinFileByteLengths.at(i), quint64(images.at(i).bytes.size()));
    }
}

// The three files as another tool makes them: archived node by node, encrypted by openssl.
void writeHandMade(const ScratchFolder &folder, const QList<Image> &images)
{
    using namespace HandMade;
    const auto write = [&](const char *name, const QList<Element> &elements) {
        folder.write(QStringLiteral("res/") + QLatin1String(name), opensslEncrypt(archive(elements), kKeyString));
    };
    write("1.resource", {MutableData{images[0].bytes}, images[1].bytes});
    write("2.resource", {MutableString{images[0].name}, images[1].name});
    write("3.resource", {quint64(images[0].bytes.size()), quint64(images[1].bytes.size())});
}

TEST_F(EncryptedCatalogueTest, PackedAndHandMadeFilesLoadAtLaunchAndNameTheProduct)
{
    // A damaged file leaves the catalogue absent; the launch still ends at the connect prompt.
    enum Made { Packed, ByAnotherTool, Damaged };
    struct Row { const char *token; Made made; const char *product; bool tKind; };
    for (const Row row : {Row{"RZ6610M", Packed, "LUMIVEX S", false}, Row{"RZ52940", Packed, "LUMIVEX T", true},
                          Row{"RZ52940", ByAnotherTool, "LUMIVEX T", true}, Row{"RZ52940", Damaged, "LUMIVEX S", false}}) {
        SCOPED_TRACE(testing::Message() << row.token << row.made);
        const ScratchFolder scratch;
        const QList<Image> images = {image(row.token, 0x0100), image(row.token, 0x0102, 0x5202)};
        if (row.made == ByAnotherTool) {
            writeHandMade(scratch, images);
        } else {
            packInto(scratch, images);
            EXPECT_EQ(QDir(resourcesOf(scratch)).entryList(QDir::Files),
                      (QStringList{EncryptedCatalogue::kFileNames.begin(), EncryptedCatalogue::kFileNames.end()}));
        }
        if (row.made == Damaged)
            scratch.write(QStringLiteral("res/") + QLatin1String(EncryptedCatalogue::kFileNames[1]), QByteArray(100, '\x5a'));

        StderrCapture capture;
        MainWindow window;
        AppDelegate delegate(window, Resources(resourcesOf(scratch)));
        delegate.applicationDidFinishLaunching();
        drainMainQueue();

        const bool damaged = row.made == Damaged;
        expectCatalogue(delegate.myCatalogue, damaged ? QList<Image>() : images);
        EXPECT_EQ(delegate.myCatalogue.myDevicesInfo.size(), damaged ? 0 : 2);
        if (!damaged) {
            EXPECT_EQ(delegate.myCatalogue.myDevicesInfo.at(1)->pid(), 0x5202);
        }
        EXPECT_FALSE(delegate.forceUpdate);
        EXPECT_EQ(delegate.b_firmwareTeacher, row.tKind);
        EXPECT_EQ(window.windowTitle(), QStringLiteral("%1 Firmware Updater").arg(QLatin1String(row.product)));
        EXPECT_FALSE(capture.lines().filter(QStringLiteral("Please connect your %1 camera.").arg(QLatin1String(row.product))).isEmpty());
        EXPECT_EQ(catalogueLogLines(capture).size(), damaged ? 1 : 0);
    }
}

TEST_F(EncryptedCatalogueTest, OnlyExactlyThreeFilesAreACatalogue)
{
    // Two files or four are no catalogue at all rather than a damaged one: nothing is logged.
    const auto expectNone = [this] {
        StderrCapture capture;
        FirmwareCatalogue catalogue;
        catalogue.loadEncryptedResources(Resources(resources));
        EXPECT_EQ(catalogue.count(), 0);
        EXPECT_TRUE(catalogueLogLines(capture).isEmpty());
    };
    writeFiles("a", "b", "c");
    QFile::remove(folder.filePath(QStringLiteral("res/c-lengths.resource")));
    expectNone();
    writeFiles("a", "b", "c");
    folder.write(QStringLiteral("res/d-extra.resource"), "d");
    expectNone();
}

// The plaintext sealed under a wrong key such that the right key still finds valid padding: it
// opens to garbage instead of failing, as about one wrong key in 256 does.
QByteArray sealedUnderAWrongKeyThatStillOpens(const QByteArray &plain)
{
    for (int i = 0;; ++i) {
        const QByteArray sealed = *AESData(plain).encryptWithString(QStringLiteral("wrong key %1").arg(i));
        try {
            if (AESData(sealed).decryptWithString(kKeyString))
                return sealed;
        } catch (const AESException &) {
        }
    }
}

TEST_F(EncryptedCatalogueTest, DamagedFilesLeaveTheCatalogueAbsentWithOneLogLine)
{
    const QList<Image> images = {image("RZ6610M", 0x0100), image("RZ6610M", 0x0102)};
    const auto seal = [](const QList<ArchiveValue> &values) { return EncryptedCatalogue::sealFile(values); };
    const QByteArray data = seal({images[0].bytes, images[1].bytes});
    const QByteArray names = seal({images[0].name, images[1].name});
    const QByteArray lengths = seal({quint64(images[0].bytes.size()), quint64(images[1].bytes.size())});
    const QByteArray archivedNames = *KeyedArchive::writeRootArray({images[0].name, images[1].name});

    struct Row { const char *what; QByteArray images, names, lengths; const char *file; const char *reason; };
    const Row rows[] = {
        {"truncated by 5 bytes", data.chopped(5), names, lengths, "a-images", "InputAlignmentException Input size was not aligned properly."},
        {"truncated to nothing", data, names, QByteArray(), "c-lengths", "DecryptionException. Input data did not decode or decrypt properly."},
        {"wrong key", data, *AESData(archivedNames).encryptWithString(QStringLiteral("another key")), lengths,
         "b-names", "DecryptionException."},
        {"wrong key passing the padding check", data,
         sealedUnderAWrongKeyThatStillOpens(archivedNames), lengths, "b-names", "not a binary property list"},
        {"not an archive", data, *AESData(QByteArray(4096, 'z')).encryptWithString(kKeyString), lengths,
         "b-names", "not a binary property list"},
        {"a property list but no keyed archive", data,
         *AESData(HandMade::plainPropertyList({images[0].name, images[1].name})).encryptWithString(kKeyString), lengths,
         "b-names", "not a keyed archive"},
        {"fewer names than images", data, seal({images[0].name}), lengths, "b-names", "holds 1 names for 2 images"},
        {"more lengths than images", data, names, seal({quint64(1), quint64(2), quint64(3)}), "c-lengths", "holds 3 lengths for 2 images"},
        {"a name that is a number", data, seal({images[0].name, quint64(2)}), lengths, "b-names",
         "not all strings: element 1 is not a string"},
        {"images that are strings", seal({QStringLiteral("x"), QStringLiteral("y")}), names, lengths, "a-images",
         "not all data: element 0 is not data"},
        {"lengths that are data", data, names, seal({QByteArray("1"), QByteArray("2")}), "c-lengths",
         "not all unsigned integers: element 0 is not an unsigned integer"},
        {"a length that disagrees", data, names, seal({quint64(images[0].bytes.size()), quint64(images[1].bytes.size() - 1)}),
         "c-lengths", "image 1 (LUMIVEX_RZ6610M_0102.bin)"},
        {"a nil name", data, HandMade::opensslEncrypt(HandMade::archive({images[0].name, HandMade::Nil{}}), kKeyString),
         lengths, "b-names", "element 1 is nil"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        writeFiles(row.images, row.names, row.lengths);
        StderrCapture capture;
        FirmwareCatalogue catalogue;
        catalogue.loadEncryptedResources(Resources(resources));
        expectCatalogue(catalogue, {});
        const QStringList lines = catalogueLogLines(capture);
        ASSERT_EQ(lines.size(), 1) << qPrintable(lines.join(u'\n'));
        EXPECT_TRUE(lines[0].contains(QLatin1String(row.file) + QLatin1String(".resource"))) << qPrintable(lines[0]);
        EXPECT_TRUE(lines[0].contains(QLatin1String(row.reason))) << qPrintable(lines[0]);
    }
}

TEST_F(EncryptedCatalogueTest, PackAndListOnTheCommandLine)
{
    const QList<Image> images = {image("RZ52940", 0x0100), image("RZ52940", 0x0abc, 0x5203)};
    packInto(folder, images);
    const ToolRun list = lumivexPack({QStringLiteral("list"), resources});
    ASSERT_EQ(list.exitCode, 0) << qPrintable(list.err);
    const QStringList listed = list.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(listed.size(), 3) << qPrintable(list.out);
    EXPECT_EQ(listed[1].simplified(), QStringLiteral("%1 %2 0100 F055 5201").arg(images[0].name).arg(images[0].bytes.size()));
    EXPECT_EQ(listed[2].simplified(), QStringLiteral("%1 %2 0ABC F055 5203").arg(images[1].name).arg(images[1].bytes.size()));

    // Each failure: one line naming the reason.
    QDir().mkpath(folder.filePath(QStringLiteral("empty")));
    folder.write(QStringLiteral("other/old.resource"), QByteArray("x"));
    for (const char name : {'a', 'b', 'c'})
        folder.write(QStringLiteral("damaged/%1.resource").arg(name), QByteArray(16, name));
    struct Row { QStringList arguments; int exitCode; const char *reason; };
    const Row rows[] = {
        {{"pack", folder.filePath("empty"), folder.filePath("out")}, 1, "no firmware images"},
        {{"pack", folder.filePath("missing"), folder.filePath("out")}, 1, "is not a folder"},
        {{"pack", folder.filePath("images"), folder.filePath("other")}, 1, "old.resource"},
        {{"list", folder.filePath("images")}, 1, "holds 0 .resource file(s)"},
        {{"list", folder.filePath("damaged")}, 1, "a.resource: DecryptionException."},
        {{"pack", folder.filePath("images")}, 2, "usage"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(qPrintable(row.arguments.join(u' ')));
        const ToolRun run = lumivexPack(row.arguments);
        EXPECT_EQ(run.exitCode, row.exitCode);
        const QStringList lines = run.err.split(u'\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 1) << qPrintable(run.err);
        EXPECT_TRUE(lines[0].startsWith(QLatin1String("lumivex-pack: "))) << qPrintable(lines[0]);
        EXPECT_TRUE(lines[0].contains(QLatin1String(row.reason))) << qPrintable(lines[0]);
    }
    const ToolRun help = lumivexPack({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QLatin1String("pack <images-folder> <out-folder>")));
}

} // namespace
