// Loading the catalogue from plain images: lookup order, which images get a record, and which
// image decides the product the catalogue is for.
#include "payload/firmwarecatalogue.h"
#include "platform/resources.h"
#include "tests/support/testsupport.h"
#include "tools/firmwareimagebuilder.h"

#include <gtest/gtest.h>

namespace {

QByteArray image(uint16_t version) { return FirmwareImageBuilder().version(version).build(); }

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

} // namespace
