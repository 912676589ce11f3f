// What a camera is offered when it arrives, and what removals do: the decision as one table in
// every language that words it differently, then whole arrivals and removals on a virtual bus (a
// removal during an update: the fault sweep and tests/e2e).
#include "app/updatedecision.h"
#include "payload/firmwarecatalogue.h"
#include "tests/app/appbench.h"
#include "tests/localization/localizationsupport.h"
#include "text/localization.h"
#include "ui/progressview.h"


#include <gtest/gtest.h>

namespace {

const QUrl kDownload(QStringLiteral("https://www.lumivex.example/download"));
const QString kPrompt = QStringLiteral("Please connect your LUMIVEX T camera.");

QString offerText(const QString &product, const QString &catalogue, const QString &camera)
{
    return QStringLiteral("%1 is ready to update.\nFirmware %2 is available (installed: %3).").arg(product, catalogue, camera);
}

// An expected argument: written as is, or "title:X" for the localised title of X, "link" for the
// localised link text, "Title:X" for the title with a lower-case first letter.
QString argument(const QString &a)
{
    if (a == u"link")
        return localizedText("Status_Msg_Download_Link");
    QString title = localizedFormat("Application_Title", {a.mid(6)});
    if (a.startsWith(u"Title:"))
        title[0] = title[0].toLower();
    return a.startsWith(u"title:", Qt::CaseInsensitive) ? title : a;
}

// Plugged by the test, not at the start.
QJsonObject later(QJsonObject camera) { return camera.insert(QStringLiteral("plug_at_ms"), 3600000), camera; }

} // namespace

TEST(UpdateDecision, OneTableOfCamerasCataloguesAndLanguages)
{
    using Outcome = UpdateDecision::Outcome;
    using Images = QList<std::pair<QString, uint32_t>>;
    // The later of two T images wins; a rejected header (0xDEAD) after them is never chosen.
    const Images t = {{"a_RZ52940.bin", 0x0102}, {"b_RZ52940.bin", 0xA1B}, {"c_RZ52940.bin", 0xDEAD}};
    const Images s = {{"x_RZ6610M.bin", 0x00A1}}, sWithoutS = {{"other.bin", 0x00A1}};
    // args: the offer's versions, or the mismatch's or up-to-date message's arguments.
    struct Case { const char *language; Images images; bool catalogueT, previousT; int chip; uint32_t cameraVersion;
                  Outcome outcome; int index; bool deviceT; QStringList args; };
    const std::vector<Case> cases = {
        // Offered, also over the same or a newer version; versions in upper-case hex of four digits or more.
        {"en", t, true, false, 0xB3, 0x0100, Outcome::Offer, 1, true, {"0A1B", "0100"}},
        {"en", t, true, false, 0xB3, 0xFFFFFFFF, Outcome::Offer, 1, true, {"0A1B", "FFFFFFFF"}},
        {"en", s, false, true, 0xB0, 0x0001, Outcome::Offer, 0, false, {"00A1", "0001"}},
        // A T camera and an S catalogue: the mismatch, its arguments in each language's order.
        {"en", s, false, false, 0xB3, 0x0100, Outcome::Mismatch, -1, true, {"Cam", "LUMIVEX S", "Cam", "title:Cam", "link"}},
        {"ja", s, false, false, 0xB3, 0x0100, Outcome::Mismatch, -1, true, {"Cam", "LUMIVEX S", "Cam", "link", "title:Cam"}},
        {"fr", s, false, false, 0xB3, 0x0100, Outcome::Mismatch, -1, true, {"Cam", "LUMIVEX S", "Cam", "outil de mise à jour pour LUMIVEX S", "link"}},
        {"de", s, false, false, 0xB3, 0x0100, Outcome::Mismatch, -1, true, {"Cam", "LUMIVEX S", "Cam", "Cam Firmware Aktualisierung", "link"}},
        {"it", s, false, false, 0xB3, 0x0100, Outcome::Mismatch, -1, true, {"Cam", "LUMIVEX S", "Cam", "aggiornamento del firmware di Cam", "link"}},
        // An S camera, an S catalogue without an S image: up to date, with the camera's version.
        {"en", sWithoutS, false, true, 0xB0, 0x00A1, Outcome::UpToDate, -1, false, {"LUMIVEX S", "00A1", "title:LUMIVEX S"}},
        {"fr", sWithoutS, false, true, 0xB0, 0x00A1, Outcome::UpToDate, -1, false, {"LUMIVEX S", "00A1", "Title:LUMIVEX S"}},
        {"de", sWithoutS, false, true, 0xB0, 0x00A1, Outcome::UpToDate, -1, false, {"LUMIVEX S", "00A1", "LUMIVEX S Firmware Aktualisierung"}},
        {"it", sWithoutS, false, true, 0xB0, 0x00A1, Outcome::UpToDate, -1, false, {"LUMIVEX S", "00A1", "LUMIVEX S"}},
        // An unknown chip is never offered: the kind an earlier camera left decides the message.
        {"en", t, true, true, 0x42, 0x0100, Outcome::UpToDate, -1, true, {"LUMIVEX T", "0100", "title:LUMIVEX T"}},
        {"en", t, true, false, 0x42, 0x0100, Outcome::Mismatch, -1, false, {"Cam", "LUMIVEX T", "Cam", "title:Cam", "link"}},
        // No image at all, or every one refused: neither a mismatch nor "up to date" would be true.
        {"en", {}, false, false, 0xB3, 0x0100, Outcome::NoFirmware, -1, true, {}},
        {"ja", {{"c_RZ52940.bin", 0xDEAD}}, false, true, 0xB0, 0x0100, Outcome::NoFirmware, -1, false, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.language << " chip " << c.chip << " images " << c.images.size());
        const ScopedStringTables tables(QString::fromLatin1(c.language));
        FirmwareCatalogue catalogue;
        for (const auto &[name, version] : c.images) {
            catalogue.UnzippedBinFileNames.append(name);
            catalogue.myDevicesInfo.append(version == 0xDEAD ? std::nullopt : std::optional<BinFileInfo>(BinFileInfo()));
            if (catalogue.myDevicesInfo.last())
                catalogue.myDevicesInfo.last()->setFirmwareVersion(int32_t(version));
        }
        // The product the window names follows the catalogue's kind, as the launch sets it.
        const UpdateFacts facts{uint8_t(c.chip), c.cameraVersion, QStringLiteral("Cam"), c.catalogueT,
                                c.previousT, QString::fromLatin1(c.catalogueT ? "LUMIVEX T" : "LUMIVEX S"),
                                QString::fromLatin1(c.language), kDownload};
        const UpdateDecision d = decideUpdate(catalogue, facts);
        const StatusText said = describeDecision(d, facts);
        const bool offer = c.outcome == Outcome::Offer;
        EXPECT_EQ(std::tuple(d.outcome, d.binIndex, d.binVersion, d.deviceTKind),
                  std::tuple(c.outcome, c.index, offer ? c.args[0].toUInt(nullptr, 16) : 0u, c.deviceT));
        QStringList args;
        for (const QString &a : c.args)
            args.append(argument(a));
        const QString text = offer ? offerText(QStringLiteral("Cam"), args[0], args[1])
            : c.outcome == Outcome::NoFirmware ? localizedText("Status_Msg_No_Firmware")
            : localizedFormat(c.outcome == Outcome::Mismatch ? "Status_Msg_Deivce_Mismatch" : "Status_Msg_Already_Up_To_Date", args);
        EXPECT_EQ(said.plainText(), text);
        // The mismatch links its mention of the download page, and nothing else is linked.
        const QString link = localizedText("Status_Msg_Download_Link");
        const QList<StatusText::Link> links = said.links();
        ASSERT_EQ(links.size(), c.outcome == Outcome::Mismatch ? 1 : 0);
        for (const StatusText::Link &l : links)
            EXPECT_TRUE(l.start == text.indexOf(link) && l.length == link.size() && l.url == kDownload);
    }
}

TEST(UpdateDecision, TrailingBlanksGoLineFeedsStay)
{
    EXPECT_EQ(removeEndSpaceFrom(QStringLiteral(" Cam\n \t\u00A0\u3000")), QStringLiteral(" Cam\n"));
    EXPECT_EQ(removeEndSpaceFrom(QStringLiteral("   ")), QString());
}

// A user's day with one T catalogue: a webcam already there, a camera offered, an S camera and the
// webcam coming and going while it is; once the first left, the S camera is not offered and keeps
// no session, and a blank camera after it is asked for itself.
TEST(Arrival, OneCameraAtATimeWhateverElseComesAndGoes)
{
    const QJsonObject webcam{{"vid", 0x046D}, {"pid", 0x0825}, {"product", "Integrated Webcam"},
                             {"chip", QJsonValue::Null}, {"interfaces", QJsonArray{QJsonArray{14, 1}, QJsonArray{14, 2}, QJsonArray{1, 1}}}};
    AppBench bench({{QStringLiteral("cam_RZ52940_0102.bin"), 0x0102}},
                   QJsonArray{webcam, cameraWithFirmware(QStringLiteral("first"), 0x0100, QStringLiteral("LUMIVEX T  ")),
                              later(cameraWithFirmware(QStringLiteral("s"), 0x00A1, QStringLiteral("LUMIVEX S"), 0xB0)),
                              later(cameraWithFirmware(QStringLiteral("blank"), std::nullopt, {}))});
    bench.launch();
    // The webcam enumerated first is looked at, and passed over without a word.
    EXPECT_EQ(bench.deviceLines(), (QStringList{QStringLiteral("Device: Integrated Webcam"), QStringLiteral("Device: LUMIVEX T  ")}));
    EXPECT_EQ(bench.statusTexts(), (QStringList{kPrompt, offerText(QStringLiteral("LUMIVEX T"), QStringLiteral("0102"), QStringLiteral("0100"))}));
    ASSERT_TRUE(bench.offered());

    // While one camera is offered, nothing else that comes or goes changes the window.
    bench.cameras().bus().plug(2);
    bench.cameras().bus().unplug(0);
    bench.cameras().bus().unplug(2);
    drainMainQueue();
    EXPECT_TRUE(bench.deviceLines().isEmpty());
    EXPECT_TRUE(bench.statusTexts().isEmpty());
    EXPECT_TRUE(bench.offered());

    // The offered camera leaves: the connect prompt at 0, ring and button hidden, the session closed.
    bench.cameras().bus().unplug(1);
    drainMainQueue();
    EXPECT_EQ(bench.statusTexts(), QStringList{kPrompt});
    const AppDelegate &d = bench.delegate();
    EXPECT_FALSE(d.deviceEstablished || d.button_update->isVisible() || d.button_update->isEnabled());
    EXPECT_TRUE(d.myProgressView->isHidden() && d.myProgressView->progress() == 0);
    EXPECT_FALSE(d.myHardware->GetUSBInterfaceInterfaceHandle());

    bench.cameras().bus().plug(2);
    drainMainQueue();
    EXPECT_EQ(bench.statusTexts(), QStringList{QStringLiteral("This LUMIVEX S cannot be updated with the LUMIVEX T updater. "
                                                              "To update your LUMIVEX S, get the LUMIVEX S Firmware Updater from our download page.")});
    EXPECT_FALSE(d.button_update->isVisible() || d.myHardware->GetUSBInterfaceInterfaceHandle());

    // Installed 0000 and no name, not what the cameras before it said.
    bench.cameras().bus().plug(3);
    drainMainQueue();
    EXPECT_EQ(bench.statusTexts(), QStringList{offerText(QString(), QStringLiteral("0102"), QStringLiteral("0000"))});
    EXPECT_TRUE(bench.offered());
}

// An updater that carries no firmware says so to the camera that arrives, not "up to date" nor
// "get the other updater", and offers nothing.
TEST(Arrival, NoFirmwareAtAllIsSaidAsSuch)
{
    AppBench bench({}, QJsonArray{cameraWithFirmware(QStringLiteral("t"), 0x0100, QStringLiteral("LUMIVEX T"))});
    bench.launch();
    EXPECT_EQ(bench.statusTexts(), (QStringList{QStringLiteral("Please connect your LUMIVEX S camera."),
                                                QStringLiteral("No firmware is available in this updater. Reinstall it or add "
                                                               "firmware to its resources folder.")}));
    EXPECT_FALSE(bench.offered() || bench.delegate().button_update->isVisible());
}
