// Loading the catalogue from plain images: lookup order, which images get a record, and which
// image decides the product the catalogue is for; why an image is turned away, and the digest
// manifest that must vouch for every image it offers.
#include "payload/firmwarecatalogue.h"
#include "platform/resources.h"
#include "tests/support/testsupport.h"
#include "tools/firmwareimagebuilder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QByteArray image(uint16_t version, uint32_t base = 0, uint32_t flashLength = 0)
{
    return FirmwareImageBuilder().version(version).baseAddress(base).flashLength(flashLength).build();
}

// The catalogue of a folder as the launch builds it: which images it offers, what it logged.
struct Judged
{
    explicit Judged(const QString &folder)
    {
        StderrCapture capture;
        bool plain = false;
        catalogue.prepare(Resources(folder), &plain);
        log = capture.text();
    }
    bool offers(const QString &name) const
    {
        const qsizetype i = catalogue.UnzippedBinFileNames.indexOf(name);
        return i >= 0 && catalogue.myDevicesInfo.value(i).has_value();
    }
    FirmwareCatalogue catalogue;
    QString log;
};

TEST(FirmwareCatalogue, PlainImagesComeInLookupOrderAndHideTheEncryptedFiles)
{
    ScratchFolder folder;
    for (const auto &[name, version] : {std::pair{"c.Bin", 3}, {"b.bin", 2}, {"z.BIN", 1}, {"a.BIN", 0}})
        folder.write(QStringLiteral("Opt/") + QLatin1String(name), image(uint16_t(version)));
    folder.write(QStringLiteral("Opt/readme.txt"), "not an image");
    folder.write(QStringLiteral("Opt/.BIN"), image(9)); // an extension without a name
    for (const char *name : {"1.resource", "2.resource", "3.resource"})
        folder.write(QString::fromLatin1(name), "x");

    FirmwareCatalogue catalogue;
    ASSERT_TRUE(catalogue.loadPlainImages(Resources(folder.path())));
    EXPECT_EQ(catalogue.UnzippedBinFileNames, QStringList({"a.BIN", "z.BIN", "b.bin", "c.Bin"}));
    EXPECT_EQ(catalogue.UnzippedBinFileByteLengths[3], quint64(image(3).size()));
    catalogue.readHeaders();
    ASSERT_EQ(catalogue.myDevicesInfo.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(catalogue.myDevicesInfo[i]->firmwareVersion(), i);
}

TEST(FirmwareCatalogue, WithoutPlainImagesOnlyExactlyThreeResourceFilesAreTried)
{
    // Two files or four are no catalogue at all rather than a damaged one: nothing is logged.
    for (int resourceFiles : {0, 2, 4}) {
        SCOPED_TRACE(resourceFiles);
        ScratchFolder folder;
        folder.write(QStringLiteral("Opt/image.txt"), image(1));
        for (int i = 0; i < resourceFiles; ++i)
            folder.write(QStringLiteral("%1.resource").arg(i), "x");
        StderrCapture log;
        FirmwareCatalogue catalogue;
        EXPECT_FALSE(catalogue.loadPlainImages(Resources(folder.path())));
        catalogue.loadEncryptedResources(Resources(folder.path()));
        EXPECT_TRUE(!catalogue.readHeaders() && catalogue.count() == 0);
        EXPECT_TRUE(log.lines().filter(QStringLiteral("prepareData - ")).isEmpty());
    }
}

TEST(FirmwareCatalogue, RejectedImagesKeepTheirPlaceAndDoNotDecideTheKind)
{
    // Lookup order is by name; "!" marks an image whose header is rejected or that is too short
    // for one. The last accepted image's name decides, its product token matched case-sensitively.
    struct Row { QStringList names; std::optional<bool> tKind; int lastT, lastS; };
    const Row rows[] = {
        {{"0_RZ52940", "1_RZ52940", "!2_RZ52940", "3_RZ6610M"}, false, 1, 3},
        {{"a_RZ52940", "!b_RZ6610M"}, true, 0, -1},
        {{"a_rz52940"}, false, -1, -1},
        {{"!a_RZ52940", "!b_empty", "!c_tiny"}, std::nullopt, -1, -1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.names.join(u' ').toStdString());
        ScratchFolder folder;
        for (qsizetype i = 0; i < row.names.size(); ++i) {
            const bool rejected = row.names[i].startsWith(u'!');
            const QByteArray bytes = row.names[i] == u"!b_empty" ? QByteArray()
                : row.names[i] == u"!c_tiny"                   ? QByteArray("abc")
                : rejected ? FirmwareImageBuilder().baseAddress(0xE000).build().left(100) : image(0x0100 + i);
            folder.write(QStringLiteral("Opt/%1.bin").arg(row.names[i].mid(rejected ? 1 : 0)), bytes);
        }
        FirmwareCatalogue catalogue;
        ASSERT_TRUE(catalogue.loadPlainImages(Resources(folder.path())));
        EXPECT_EQ(catalogue.count(), row.names.size());
        EXPECT_EQ(catalogue.readHeaders(), row.tKind);
        ASSERT_EQ(catalogue.myDevicesInfo.size(), row.names.size());
        for (qsizetype i = 0; i < row.names.size(); ++i) {
            const auto &record = catalogue.myDevicesInfo[i];
            EXPECT_EQ(record.has_value(), !row.names[i].startsWith(u'!')) << i;
            if (record) {
                EXPECT_EQ(record->firmwareVersion(), 0x0100 + i);
            }
        }
        EXPECT_TRUE(catalogue.lastImageNamed(kTKindToken) == row.lastT && catalogue.lastImageNamed(kSKindToken) == row.lastS);
    }
}

TEST(FirmwareCatalogue, AnImageIsOfferedOnlyWhenSoundAndVouchedFor)
{
    const QByteArray a = image(0x0102, 0, 0x4000), b = image(0x0103, 0, 0x4000);
    const QByteArray sums = DigestManifest::format({QStringLiteral("a_RZ52940.bin"), QStringLiteral("b_RZ52940.bin")}, {a, b});
    QByteArray flipped = b;
    flipped[flipped.size() - 100] = char(flipped.at(flipped.size() - 100) ^ 0x10);

    // a is always intact; b as the row has it, under the row's Opt/SHA256SUMS (nothing: none).
    struct Case { QByteArray b; std::optional<QByteArray> sums; bool aOffered, bOffered; const char *line; };
    const Case cases[] = {
        {b, sums, true, true, nullptr},
        {flipped, sums, true, false, "b_RZ52940.bin is never offered: its content differs from its SHA-256 in SHA256SUMS"},
        {b.left(b.size() - 0x1000), sums, true, false, "differs from its SHA-256"}, // cut short behind its header
        {b, sums.left(sums.indexOf('\n') + 1), true, false, "b_RZ52940.bin is never offered: its content is not named in SHA256SUMS"},
        {b, QByteArray("not a digest  a_RZ52940.bin\n"), false, false, "SHA256SUMS line 1 is not"},
        {flipped, std::nullopt, true, true, nullptr}, // without a manifest, as before
        {QByteArray(0x4000, '\xff'), std::nullopt, true, false, "b_RZ52940.bin is never offered: blank: every byte of its flash content is 0xff"},
        {image(1, 0xE001), std::nullopt, true, false, "firmware header rejected: base address 0x00e001 lies beyond 0xe000"},
        {b.left(0x2100), std::nullopt, true, false, "before the end of its user-space sector at 12288: the image is cut short"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line ? c.line : "offered");
        ScratchFolder folder;
        folder.write(QStringLiteral("Opt/a_RZ52940.bin"), a);
        folder.write(QStringLiteral("Opt/b_RZ52940.bin"), c.b);
        if (c.sums)
            folder.write(QStringLiteral("Opt/SHA256SUMS"), *c.sums);
        const Judged judged(folder.path());
        EXPECT_EQ(judged.offers(QStringLiteral("a_RZ52940.bin")), c.aOffered);
        EXPECT_EQ(judged.offers(QStringLiteral("b_RZ52940.bin")), c.bOffered);
        EXPECT_TRUE(!c.line || judged.log.contains(QLatin1String(c.line))) << judged.log.toStdString();
    }

    // sha256sum's own forms: binary mode, CRLF line ends, an escaped name; a name given two
    // different digests is no manifest at all.
    QString problem;
    const QByteArray hex = sums.left(64);
    const std::optional<DigestManifest> forms = DigestManifest::parse(hex + " *a_RZ52940.bin\r\n\\" + hex + "  back\\\\slash\\nname\n", &problem);
    ASSERT_TRUE(forms) << problem.toStdString();
    EXPECT_EQ(forms->check(QStringLiteral("a_RZ52940.bin"), a), DigestManifest::Match::Matches);
    EXPECT_EQ(forms->check(QStringLiteral("back\\slash\nname"), a), DigestManifest::Match::Matches);
    EXPECT_FALSE(DigestManifest::parse(hex + "  x\n" + sums.mid(65, 64) + "  x\n", &problem));
}

// Judged by its size, never read: the loader's peak memory stays far below the file's.
TEST(FirmwareCatalogue, AHugeImageIsSkippedUnread)
{
    ScratchFolder folder;
    folder.write(QStringLiteral("Opt/cam_RZ52940_0102.bin"), image(0x0102));
    QFile huge(folder.filePath(QStringLiteral("Opt/cam_RZ52940_0103.bin")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(2) << 30)); // sparse: no disk, no memory
    huge.close();
    const Judged judged(folder.path());
    EXPECT_TRUE(judged.catalogue.count() == 1 && judged.offers(QStringLiteral("cam_RZ52940_0102.bin")));
    EXPECT_TRUE(judged.log.contains(QStringLiteral("cam_RZ52940_0103.bin is never offered: 2147483648 bytes, more than the 1048580")))
        << judged.log.toStdString();
    QFile status(QStringLiteral("/proc/self/status"));
    ASSERT_TRUE(status.open(QIODevice::ReadOnly));
    const qint64 peakKiB = QString::fromLatin1(status.readAll()).section(QStringLiteral("VmHWM:"), 1).simplified().section(u' ', 0, 0).toLongLong();
#ifndef __SANITIZE_ADDRESS__ // the sanitizer's own bookkeeping is no measure of the loader's
    EXPECT_LT(peakKiB, 100 * 1024);
#endif
    EXPECT_GT(peakKiB, 0);
}

} // namespace
