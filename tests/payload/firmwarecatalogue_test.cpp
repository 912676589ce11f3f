// Loading the catalogue from plain images: lookup order, which images get a record, and which
// image decides the product the catalogue is for; why an image is turned away, and the digest
// manifest that must vouch for every image it offers.
#include "payload/firmwarecatalogue.h"
#include "platform/resources.h"
#include "tests/support/testsupport.h"
#include "tools/firmwareimagebuilder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdio>

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
        tKind = catalogue.prepare(Resources(folder), &plain);
        log = capture.text();
    }
    bool offers(const QString &name) const
    {
        const qsizetype i = catalogue.UnzippedBinFileNames.indexOf(name);
        return i >= 0 && catalogue.myDevicesInfo.value(i).has_value();
    }
    FirmwareCatalogue catalogue;
    std::optional<bool> tKind;
    QString log;
};

// Lookup order is *.BIN, *.bin, *.Bin, each by name; other files, a bare extension and encrypted
// files beside plain images are passed over, and without plain images only exactly three
// .resource files are tried (two or four are no catalogue at all, and nothing is logged). "!"
// marks an image whose header is rejected or that is too short for one: it keeps its place and
// does not decide the kind, which the last accepted image's name decides, its token matched
// case-sensitively.
TEST(FirmwareCatalogue, LookupOrderRejectedImagesAndTheKind)
{
    struct Row { QStringList names; int resourceFiles; std::optional<bool> tKind; int lastT, lastS; };
    const Row rows[] = {
        {{"c_RZ52940.BIN", "a_RZ52940.bin", "!b_RZ52940.bin", "0_RZ6610M.Bin"}, 3, false, 1, 3},
        {{"a_RZ52940.bin", "!b_RZ6610M.bin"}, 0, true, 0, -1},
        {{"a_rz52940.bin"}, 0, false, -1, -1},
        {{"!a_RZ52940.bin", "!b_empty.bin", "!c_tiny.bin"}, 0, std::nullopt, -1, -1},
        {{}, 3, std::nullopt, -1, -1}, // tried, and logged as damaged
        {{}, 2, std::nullopt, -1, -1},
        {{}, 4, std::nullopt, -1, -1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << row.names.join(u' ').toStdString() << " " << row.resourceFiles);
        ScratchFolder folder;
        folder.write(QStringLiteral("Opt/readme.txt"), image(9));
        folder.write(QStringLiteral("Opt/.BIN"), image(9)); // an extension without a name
        for (int i = 0; i < row.resourceFiles; ++i)
            folder.write(QStringLiteral("%1.resource").arg(i), "x");
        QStringList names;
        QList<quint64> lengths;
        QList<int> versions; // -1: rejected
        for (const QString &entry : row.names) {
            const bool rejected = entry.startsWith(u'!');
            names.append(entry.mid(rejected ? 1 : 0));
            versions.append(rejected ? -1 : 0x0100 + int(versions.size()));
            const QByteArray bytes = names.last() == u"b_empty.bin" ? QByteArray()
                : names.last() == u"c_tiny.bin"                   ? QByteArray("abc")
                : rejected ? FirmwareImageBuilder().baseAddress(0xE000).build().left(100) : image(uint16_t(versions.last()));
            folder.write(QStringLiteral("Opt/") + names.last(), bytes);
            lengths.append(quint64(bytes.size()));
        }
        const Judged judged(folder.path());
        const FirmwareCatalogue &catalogue = judged.catalogue;
        EXPECT_EQ(catalogue.UnzippedBinFileNames, names);
        EXPECT_EQ(catalogue.UnzippedBinFileByteLengths, lengths);
        EXPECT_EQ(judged.tKind, row.tKind);
        QList<int> read;
        for (const std::optional<BinFileInfo> &record : catalogue.myDevicesInfo)
            read.append(record ? int(record->firmwareVersion()) : -1);
        EXPECT_EQ(read, versions);
        EXPECT_TRUE(catalogue.lastImageNamed(kTKindToken) == row.lastT && catalogue.lastImageNamed(kSKindToken) == row.lastS);
        const bool triedResources = names.isEmpty() && row.resourceFiles == 3;
        // With no image accepted, one more line says why no camera will be offered anything.
        EXPECT_EQ(judged.log.count(QStringLiteral("prepareData - ")), versions.count(-1) + triedResources + !row.tKind) << judged.log.toStdString();
    }
}

// A file name that is not UTF-8 cannot be listed as a path: it is named, escaped, not lost.
TEST(FirmwareCatalogue, AnImageNameThatIsNotUtf8IsNamedInTheLog)
{
    ScratchFolder folder;
    folder.write(QStringLiteral("Opt/a_RZ52940.bin"), image(0x0100));
    const QByteArray odd = QFile::encodeName(folder.filePath(QStringLiteral("Opt"))) + "/b_RZ52940_\xff\x1b.bin";
    std::fclose(std::fopen(odd.constData(), "wb"));
    const Judged judged(folder.path());
    EXPECT_TRUE(judged.offers(QStringLiteral("a_RZ52940.bin")));
    EXPECT_TRUE(judged.log.contains(uR"(prepareData - b_RZ52940_\xff\x1b.bin is never offered: its file name is not UTF-8)")) << judged.log.toStdString();
}

TEST(FirmwareCatalogue, AnImageIsOfferedOnlyWhenSoundAndVouchedFor)
{
    const QByteArray a = image(0x0102, 0, 0x4000), b = image(0x0103, 0, 0x4000);
    const QByteArray sums = DigestManifest::format({QStringLiteral("a_RZ52940.bin"), QStringLiteral("b_RZ52940.bin")}, {a, b});
    QByteArray flipped = b;
    flipped[flipped.size() - 100] = char(flipped.at(flipped.size() - 100) ^ 0x10);

    // a is always intact; b as the row has it, under the row's Opt/SHA256SUMS (nothing: none).
    struct Case { QByteArray b; std::optional<QByteArray> sums; bool aOffered, bOffered; const char *line; qint64 grownTo = 0; };
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
        // Judged by its size, never read (sparse: no disk, no memory).
        {b, std::nullopt, true, false, "b_RZ52940.bin is never offered: 2147483648 bytes, more than the 1048580", qint64(2) << 30},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line ? c.line : "offered");
        ScratchFolder folder;
        folder.write(QStringLiteral("Opt/a_RZ52940.bin"), a);
        folder.write(QStringLiteral("Opt/b_RZ52940.bin"), c.b);
        ASSERT_TRUE(!c.grownTo || QFile::resize(folder.filePath(QStringLiteral("Opt/b_RZ52940.bin")), c.grownTo));
        if (c.sums)
            folder.write(QStringLiteral("Opt/SHA256SUMS"), *c.sums);
        const Judged judged(folder.path());
        EXPECT_EQ(judged.offers(QStringLiteral("a_RZ52940.bin")), c.aOffered);
        EXPECT_EQ(judged.offers(QStringLiteral("b_RZ52940.bin")), c.bOffered);
        EXPECT_EQ(judged.catalogue.count(), c.grownTo ? 1 : 2); // an image too large is not even listed
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

} // namespace
