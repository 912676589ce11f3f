// Loading the catalogue from plain images: lookup order, which images get a record, and which
// image decides the product the catalogue is for.
#include "payload/firmwarecatalogue.h"
#include "platform/resources.h"
#include "tests/support/testsupport.h"
#include "tools/firmwareimagebuilder.h"

#include <gtest/gtest.h>

namespace {

QByteArray image(uint16_t version)
{
    return FirmwareImageBuilder().version(version).build();
}

QByteArray rejectedImage()
{
    return FirmwareImageBuilder().baseAddress(0xE000).build().left(100);
}

} // namespace

TEST(FirmwareCatalogue, PlainImagesComeInLookupOrderAndHideTheEncryptedFiles)
{
    ScratchFolder folder;
    folder.write(QStringLiteral("Opt/c.Bin"), image(3));
    folder.write(QStringLiteral("Opt/b.bin"), image(2));
    folder.write(QStringLiteral("Opt/z.BIN"), image(1));
    folder.write(QStringLiteral("Opt/a.BIN"), image(0));
    folder.write(QStringLiteral("Opt/readme.txt"), "not an image");
    folder.write(QStringLiteral("Opt/.BIN"), image(9)); // an extension without a name
    for (const char *name : {"1.resource", "2.resource", "3.resource"})
        folder.write(QString::fromLatin1(name), "x");

    FirmwareCatalogue catalogue;
    ASSERT_TRUE(catalogue.loadPlainImages(Resources(folder.path())));
    EXPECT_EQ(catalogue.UnzippedBinFileNames,
              QStringList({QStringLiteral("a.BIN"), QStringLiteral("z.BIN"), QStringLiteral("b.bin"), QStringLiteral("c.Bin")}));
    ASSERT_EQ(catalogue.UnzippedBinFileData.size(), 4);
    EXPECT_EQ(catalogue.UnzippedBinFileData[2], image(2));
    EXPECT_EQ(catalogue.UnzippedBinFileByteLengths[3], quint64(image(3).size()));

    catalogue.readHeaders();
    ASSERT_EQ(catalogue.myDevicesInfo.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(catalogue.myDevicesInfo[i]->firmwareVersion(), i);
}

TEST(FirmwareCatalogue, NoPlainImagesLeavesTheCatalogueAsItWas)
{
    for (int resourceFiles : {0, 2, 4}) {
        SCOPED_TRACE(resourceFiles);
        ScratchFolder folder;
        folder.write(QStringLiteral("Opt/image.txt"), image(1));
        for (int i = 0; i < resourceFiles; ++i)
            folder.write(QStringLiteral("%1.resource").arg(i), "x");

        FirmwareCatalogue catalogue;
        const Resources resources(folder.path());
        EXPECT_FALSE(catalogue.loadPlainImages(resources));
        catalogue.loadEncryptedResources(resources);
        EXPECT_FALSE(catalogue.readHeaders().has_value());
        EXPECT_EQ(catalogue.count(), 0);
    }
}

TEST(FirmwareCatalogue, ARejectedImageDoesNotShiftTheRecordsOfTheOthers)
{
    ScratchFolder folder;
    folder.write(QStringLiteral("Opt/0_RZ52940.bin"), image(0x0100));
    folder.write(QStringLiteral("Opt/1_RZ52940.bin"), image(0x0101));
    folder.write(QStringLiteral("Opt/2_RZ52940.bin"), rejectedImage());
    folder.write(QStringLiteral("Opt/3_RZ6610M.bin"), image(0x0303));

    FirmwareCatalogue catalogue;
    ASSERT_TRUE(catalogue.loadPlainImages(Resources(folder.path())));
    EXPECT_EQ(catalogue.readHeaders(), std::optional<bool>(false)) << "the last accepted image decides";

    ASSERT_EQ(catalogue.myDevicesInfo.size(), 4);
    EXPECT_EQ(catalogue.myDevicesInfo[1]->firmwareVersion(), 0x0101);
    EXPECT_FALSE(catalogue.myDevicesInfo[2].has_value());
    EXPECT_EQ(catalogue.myDevicesInfo[3]->firmwareVersion(), 0x0303);

    // The later of two T images wins, but the one after them that would be chosen by name alone
    // has no valid header.
    EXPECT_EQ(catalogue.lastImageNamed(kTKindToken), 1);
    EXPECT_EQ(catalogue.lastImageNamed(kSKindToken), 3);
    EXPECT_EQ(catalogue.lastImageNamed(u"RZ0000"), -1);
}

TEST(FirmwareCatalogue, TheLastAcceptedImageNameDecidesTheKind)
{
    struct Case
    {
        QStringList names;
        bool rejectLast;
        std::optional<bool> tKind;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("a_RZ52940.bin"), QStringLiteral("b_RZ52940.bin")}, false, true},
        {{QStringLiteral("a_RZ52940.bin"), QStringLiteral("b_other.bin")}, false, false},
        {{QStringLiteral("a_other.bin"), QStringLiteral("b_RZ52940.bin")}, false, true},
        {{QStringLiteral("a_RZ52940.bin"), QStringLiteral("b_other.bin")}, true, true},
        {{QStringLiteral("a_rz52940.bin")}, false, false},
        {{QStringLiteral("a_RZ52940.bin")}, true, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.names.join(u' ').toStdString());
        ScratchFolder folder;
        for (qsizetype i = 0; i < c.names.size(); ++i) {
            const bool reject = c.rejectLast && i == c.names.size() - 1;
            folder.write(QStringLiteral("Opt/") + c.names[i], reject ? rejectedImage() : image(1));
        }
        FirmwareCatalogue catalogue;
        ASSERT_TRUE(catalogue.loadPlainImages(Resources(folder.path())));
        EXPECT_EQ(catalogue.readHeaders(), c.tKind);
    }
}

TEST(FirmwareCatalogue, ImagesShorterThanThePrefixAreRejected)
{
    ScratchFolder folder;
    folder.write(QStringLiteral("Opt/empty.bin"), QByteArray());
    folder.write(QStringLiteral("Opt/tiny.bin"), QByteArray("abc"));
    FirmwareCatalogue catalogue;
    ASSERT_TRUE(catalogue.loadPlainImages(Resources(folder.path())));
    EXPECT_EQ(catalogue.count(), 2);
    EXPECT_FALSE(catalogue.readHeaders().has_value());
    ASSERT_EQ(catalogue.myDevicesInfo.size(), 2);
    EXPECT_FALSE(catalogue.myDevicesInfo[0] || catalogue.myDevicesInfo[1]);
}
