// What a camera is offered when it arrives, and what removals do: the decision as one table in
// every language that words it differently, then whole arrivals and removals on a virtual bus.
#include "app/updatedecision.h"
#include "payload/firmwarecatalogue.h"
#include "tests/app/appbench.h"
#include "tests/localization/localizationsupport.h"
#include "tests/widgets/widgettestsupport.h"
#include "ui/localization.h"
#include "ui/progressview.h"

#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

FirmwareCatalogue catalogueOf(const QList<std::pair<QString, uint32_t>> &images)
{
    FirmwareCatalogue catalogue;
    for (const auto &[name, version] : images) {
        catalogue.UnzippedBinFileNames.append(name);
        catalogue.UnzippedBinFileData.append(QByteArray());
        catalogue.UnzippedBinFileByteLengths.append(0);
        std::optional<BinFileInfo> info;
        if (version != 0xDEAD) { // 0xDEAD: a rejected header
            info.emplace();
            info->setFirmwareVersion(int32_t(version));
        }
        catalogue.myDevicesInfo.append(info);
    }
    return catalogue;
}

QString table(const char *key, const QStringList &args)
{
    return localizedFormat(key, args);
}

const QUrl kDownload(QStringLiteral("https://www.lumivex.example/download"));

} // namespace

TEST(UpdateDecision, OneTableOfCamerasCataloguesAndLanguages)
{
    using Outcome = UpdateDecision::Outcome;
    const QList<std::pair<QString, uint32_t>> tCatalogue = {
        {QStringLiteral("a_RZ52940.bin"), 0x0102}, {QStringLiteral("b_RZ52940.bin"), 0xA1B}, {QStringLiteral("c_RZ52940.bin"), 0xDEAD}};
    const QList<std::pair<QString, uint32_t>> sCatalogue = {{QStringLiteral("x_RZ6610M.bin"), 0x00A1}};
    const QList<std::pair<QString, uint32_t>> sWithoutS = {{QStringLiteral("other.bin"), 0x00A1}};
    const QString T = QStringLiteral("LUMIVEX T"), S = QStringLiteral("LUMIVEX S"), cam = QStringLiteral("Cam Pro");
    // Arguments as each language must receive them; the tables then decide what they show.
    const auto title = [](const QString &p) { return table("Application_Title", {p}); };
    const auto link = [] { return localizedText("Status_Msg_Download_Link"); };
    struct Case
    {
        const char *language;
        QList<std::pair<QString, uint32_t>> images;
        bool catalogueT, previousT;
        int chip;
        uint32_t cameraVersion;
        Outcome outcome;
        int index;
        bool deviceT;
        std::function<QString()> text;
    };
    const std::vector<Case> cases = {
        // The later of two T images; a rejected image after them is never chosen; versions in hex.
        {"en", tCatalogue, true, false, 0xB3, 0x0100, Outcome::Offer, 1, true,
         [&] { return QStringLiteral("Cam Pro is ready to update.\nFirmware 0A1B is available (installed: 0100)."); }},
        // Offered even when the camera holds the same or a newer version.
        {"en", tCatalogue, true, false, 0xB3, 0xFFFFFFFF, Outcome::Offer, 1, true,
         [&] { return QStringLiteral("Cam Pro is ready to update.\nFirmware 0A1B is available (installed: FFFFFFFF)."); }},
        {"en", sCatalogue, false, true, 0xB0, 0x0001, Outcome::Offer, 0, false,
         [&] { return QStringLiteral("Cam Pro is ready to update.\nFirmware 00A1 is available (installed: 0001)."); }},
        // A T camera and an S catalogue: the product mismatch, in each word order.
        {"en", sCatalogue, false, false, 0xB3, 0x0100, Outcome::Mismatch, -1, true,
         [&] { return table("Status_Msg_Deivce_Mismatch", {cam, S, cam, title(cam), link()}); }},
        {"nl", sCatalogue, false, false, 0xB3, 0x0100, Outcome::Mismatch, -1, true,
         [&] { return table("Status_Msg_Deivce_Mismatch", {cam, S, cam, title(cam), link()}); }},
        {"ja", sCatalogue, false, false, 0xB3, 0x0100, Outcome::Mismatch, -1, true,
         [&] { return table("Status_Msg_Deivce_Mismatch", {cam, S, cam, link(), title(cam)}); }},
        {"fr", sCatalogue, false, false, 0xB3, 0x0100, Outcome::Mismatch, -1, true,
         [&] { return table("Status_Msg_Deivce_Mismatch", {cam, S, cam, QStringLiteral("outil de mise à jour pour LUMIVEX S"), link()}); }},
        {"de", sCatalogue, false, false, 0xB3, 0x0100, Outcome::Mismatch, -1, true,
         [&] { return table("Status_Msg_Deivce_Mismatch", {cam, S, cam, QStringLiteral("Cam Pro Firmware Aktualisierung"), link()}); }},
        {"it", sCatalogue, false, false, 0xB3, 0x0100, Outcome::Mismatch, -1, true,
         [&] { return table("Status_Msg_Deivce_Mismatch", {cam, S, cam, QStringLiteral("aggiornamento del firmware di Cam Pro"), link()}); }},
        // An S camera and an S catalogue without an S image: up to date, with the camera's version.
        {"en", sWithoutS, false, true, 0xB0, 0x00A1, Outcome::UpToDate, -1, false,
         [&] { return QStringLiteral("Your LUMIVEX S firmware (version 00A1) is up to date."); }},
        {"ja", sWithoutS, false, true, 0xB0, 0x00A1, Outcome::UpToDate, -1, false,
         [&] { return table("Status_Msg_Already_Up_To_Date", {S, QStringLiteral("00A1"), title(S)}); }},
        {"fr", sWithoutS, false, true, 0xB0, 0x00A1, Outcome::UpToDate, -1, false,
         [&] { QString t = title(S); t[0] = t[0].toLower(); return table("Status_Msg_Already_Up_To_Date", {S, QStringLiteral("00A1"), t}); }},
        {"de", sWithoutS, false, true, 0xB0, 0x00A1, Outcome::UpToDate, -1, false,
         [&] { return table("Status_Msg_Already_Up_To_Date", {S, QStringLiteral("00A1"), QStringLiteral("LUMIVEX S Firmware Aktualisierung")}); }},
        {"it", sWithoutS, false, true, 0xB0, 0x00A1, Outcome::UpToDate, -1, false,
         [&] { return table("Status_Msg_Already_Up_To_Date", {S, QStringLiteral("00A1"), S}); }},
        // An unknown chip is never offered; the kind an earlier camera left decides the message.
        {"en", tCatalogue, true, true, 0x42, 0x0100, Outcome::UpToDate, -1, true,
         [&] { return QStringLiteral("Your LUMIVEX T firmware (version 0100) is up to date."); }},
        {"en", tCatalogue, true, false, 0x42, 0x0100, Outcome::Mismatch, -1, false,
         [&] { return table("Status_Msg_Deivce_Mismatch", {cam, T, cam, title(cam), link()}); }},
        // Nothing in the catalogue: it counts as the S kind.
        {"en", {}, false, false, 0xB3, 0x0100, Outcome::Mismatch, -1, true,
         [&] { return table("Status_Msg_Deivce_Mismatch", {cam, S, cam, title(cam), link()}); }},
        {"en", {}, false, true, 0xB0, 0x0100, Outcome::UpToDate, -1, false,
         [&] { return QStringLiteral("Your LUMIVEX S firmware (version 0100) is up to date."); }},
    };
    for (const Case &c : cases) {
        const QString language = QString::fromLatin1(c.language);
        SCOPED_TRACE(testing::Message() << c.language << " chip " << c.chip << " images " << c.images.size());
        const ScopedStringTables tables(language);
        // The product the window names follows the catalogue's kind, as the launch sets it.
        const UpdateFacts facts{uint8_t(c.chip), c.cameraVersion, cam, c.catalogueT, c.previousT,
                                c.catalogueT ? T : S, language, kDownload};
        const UpdateDecision d = decideUpdate(catalogueOf(c.images), facts);
        EXPECT_EQ(d.outcome, c.outcome);
        EXPECT_EQ(d.binIndex, c.index);
        EXPECT_EQ(d.deviceTKind, c.deviceT);
        EXPECT_EQ(d.text.plainText(), c.text());
        if (c.outcome == Outcome::Offer) {
            EXPECT_EQ(d.logLines.join(u'\n'), d.text.plainText());
            EXPECT_EQ(d.binVersion, catalogueOf(c.images).myDevicesInfo.at(c.index)->firmwareVersion());
        }
        // The mismatch links its first mention of the download page, and only that.
        if (c.outcome == Outcome::Mismatch) {
            ASSERT_EQ(d.text.links().size(), 1);
            const StatusText::Link &l = d.text.links().first();
            EXPECT_EQ(l.start, d.text.plainText().indexOf(link()));
            EXPECT_EQ(l.length, link().size());
            EXPECT_EQ(l.url, kDownload);
        } else {
            EXPECT_TRUE(d.text.links().isEmpty());
        }
    }
}

TEST(UpdateDecision, TrailingBlanksGoLineFeedsStay)
{
    EXPECT_EQ(removeEndSpaceFrom(QStringLiteral("Cam \t\u00A0 ")), QStringLiteral("Cam"));
    EXPECT_EQ(removeEndSpaceFrom(QStringLiteral("Cam\n  ")), QStringLiteral("Cam\n"));
    EXPECT_EQ(removeEndSpaceFrom(QStringLiteral("   ")), QString());
    EXPECT_EQ(removeEndSpaceFrom(QStringLiteral(" Cam")), QStringLiteral(" Cam"));
}

namespace {

const QString kPrompt = QStringLiteral("Please connect your LUMIVEX T camera.");

QString offerText(const QString &product, const QString &catalogue, const QString &camera)
{
    return QStringLiteral("%1 is ready to update.\nFirmware %2 is available (installed: %3).").arg(product, catalogue, camera);
}

QJsonObject webcam()
{
    return QJsonObject{{"vid", 0x046D}, {"pid", 0x0825}, {"product", "Integrated Webcam"}, {"chip", QJsonValue::Null},
                       {"interfaces", QJsonArray{QJsonArray{14, 1}, QJsonArray{14, 2}, QJsonArray{1, 1}}}};
}

QJsonObject later(QJsonObject camera)
{
    camera[QStringLiteral("plug_at_ms")] = 3600000; // plugged by the test
    return camera;
}

} // namespace

// A user's day with one T catalogue: a webcam already there, a camera offered, a second camera
// and the webcam coming and going while it is, then the camera unplugged and plugged again.
TEST(Arrival, OneCameraAtATimeWhateverElseComesAndGoes)
{
    ScratchFolder flashes;
    AppBench bench({{QStringLiteral("cam_RZ52940_0102.bin"), 0x0102}},
                   QJsonArray{webcam(), cameraWithFirmware(flashes, QStringLiteral("first"), 0x0100, QStringLiteral("LUMIVEX T  ")),
                              later(cameraWithFirmware(flashes, QStringLiteral("second"), 0x0101, QStringLiteral("Other T")))});
    bench.launch();
    // The webcam enumerated first is looked at, and passed over without a word.
    EXPECT_EQ(bench.deviceLines(), (QStringList{QStringLiteral("Device: Integrated Webcam"), QStringLiteral("Device: LUMIVEX T  ")}));
    EXPECT_EQ(bench.statusTexts(), (QStringList{kPrompt, offerText(QStringLiteral("LUMIVEX T"), QStringLiteral("0102"), QStringLiteral("0100"))}));
    ASSERT_TRUE(bench.offered());
    EXPECT_EQ(bench.delegate().binIndex, 0);
    EXPECT_EQ(bench.delegate().binVersion, 0x0102u);

    // While one camera is offered, nothing else that comes or goes changes the window.
    bench.cameras().bus().plug(2);
    bench.cameras().bus().unplug(0);
    bench.cameras().bus().unplug(2);
    drainMainQueue();
    EXPECT_TRUE(bench.deviceLines().isEmpty());
    EXPECT_TRUE(bench.statusTexts().isEmpty());
    EXPECT_TRUE(bench.offered());

    // The offered camera leaves: the connect prompt at 0, ring and button hidden.
    bench.cameras().bus().unplug(1);
    drainMainQueue();
    EXPECT_EQ(bench.statusTexts(), QStringList{kPrompt});
    const AppDelegate &d = bench.delegate();
    EXPECT_FALSE(d.deviceEstablished);
    EXPECT_EQ(d.binIndex, -1);
    EXPECT_EQ(d.binVersion, 0u);
    EXPECT_FALSE(d.button_update->isVisible() || d.button_update->isEnabled());
    EXPECT_TRUE(d.myProgressView->isHidden());
    EXPECT_EQ(d.myProgressView->progress(), 0);
    EXPECT_FALSE(d.myHardware->GetUSBInterfaceInterfaceHandle());

    // The second camera now is the one evaluated: its own name and version.
    bench.cameras().bus().plug(2);
    drainMainQueue();
    EXPECT_EQ(bench.deviceLines(), QStringList{QStringLiteral("Device: Other T")});
    EXPECT_EQ(bench.statusTexts(), QStringList{offerText(QStringLiteral("Other T"), QStringLiteral("0102"), QStringLiteral("0101"))});
    EXPECT_TRUE(bench.offered());
}

// Cameras that are not offered keep no session: the next camera is asked for itself, even a
// blank one after a camera that had firmware.
TEST(Arrival, CamerasNotOfferedLeaveNothingBehind)
{
    ScratchFolder flashes;
    AppBench bench({{QStringLiteral("cam_RZ6610M.bin"), 0x00A1}},
                   QJsonArray{cameraWithFirmware(flashes, QStringLiteral("t"), 0x0100, QStringLiteral("LUMIVEX T")),
                              later(cameraWithFirmware(flashes, QStringLiteral("blank"), std::nullopt, {}, 0xB0))});
    OpenedUrls opened(*bench.delegate().progressText);
    bench.launch();
    const QString mismatch = QStringLiteral("This LUMIVEX T cannot be updated with the LUMIVEX S updater. To update your "
                                            "LUMIVEX T, get the LUMIVEX T Firmware Updater from our download page.");
    EXPECT_EQ(bench.statusTexts(), (QStringList{QStringLiteral("Please connect your LUMIVEX S camera."), mismatch}));
    EXPECT_FALSE(bench.delegate().button_update->isVisible());
    EXPECT_FALSE(bench.delegate().myHardware->GetUSBInterfaceInterfaceHandle());

    // The link is a link: one click opens the download page once.
    const auto links = bench.delegate().progressText->hyperlinkInfos();
    ASSERT_TRUE(links && !links->isEmpty());
    click(bench.delegate().progressText, links->first().rect.center());
    EXPECT_EQ(*opened.urls, QList<QUrl>{kDownload});

    // A blank S camera: installed 0000 and no name, not what the T camera's flash said.
    bench.cameras().bus().plug(1);
    drainMainQueue();
    EXPECT_EQ(bench.statusTexts(), QStringList{offerText(QString(), QStringLiteral("00A1"), QStringLiteral("0000"))});
    EXPECT_TRUE(bench.offered());
}

// Pulled out while it is being written, the camera takes the process down after the alert.
TEST(ArrivalDeathTest, RemovalDuringAnUpdateEndsTheProcessAfterTheAlert)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ScratchFolder flashes;
            AppBench bench({{QStringLiteral("cam_RZ52940.bin"), 0x0102}},
                           QJsonArray{cameraWithFirmware(flashes, QStringLiteral("t"), 0x0100)});
            bench.launch();
            if (!bench.offered())
                std::exit(1);
            bench.delegate().downloadInProgress = true;
            bench.cameras().bus().unplug(0);
            drainMainQueue();
            auto *alert = bench.window().findChild<QMessageBox *>();
            if (!alert || !alert->isVisible() || alert->text() != QStringLiteral("ERROR")
                || alert->informativeText() != QStringLiteral("Device was removed during update process. Critial error")
                || alert->icon() != QMessageBox::Critical || alert->buttons().size() != 1
                || alert->windowModality() != Qt::WindowModal)
                std::exit(2);
            alert->buttons().first()->click();
            drainMainQueue();
            std::exit(3); // still here: the OK did not end the process
        },
        testing::ExitedWithCode(255), "");
}
