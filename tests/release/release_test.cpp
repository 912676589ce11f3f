// What a new user and a packager meet: a broken resources folder still launches and says what is
// wrong; images are judged before they are read and only offered when the manifest vouches for
// them; the window keeps its layout's size.
#include "app/appdelegate.h"
#include "payload/firmwarecatalogue.h"
#include "tests/support/testsupport.h"
#include "tools/firmwareimagebuilder.h"
#include "ui/aboutwindowcontroller.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

constexpr char kGoodInfo[] = R"({"Device Name": "LUMIVEX", "CFBundleShortVersionString": "1.0.0",
    "NSHumanReadableCopyright": "(c) LUMIVEX", "Download URL": "https://example.invalid/"})";

QByteArray image(uint16_t version, uint32_t base = 0)
{
    return FirmwareImageBuilder().version(version).baseAddress(base).flashLength(0x4000).build();
}

// A file of this size that takes no disk space and no memory.
void writeSparse(const QString &path, qint64 size)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(size));
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

} // namespace

TEST(Release, EachResourcesProblemIsNamedAndTheLaunchGoesOn)
{
    struct Case { const char *info, *problem; }; // Info.json (null: none), the line after its path (null: none)
    const Case cases[] = {
        {nullptr, "Info.json is missing"},
        {R"({"Device Name": )", "Info.json is not a JSON object: "},
        {"[1, 2]", "Info.json is not a JSON object"},
        {R"({"Device Name": "L", "CFBundleShortVersionString": "1", "NSHumanReadableCopyright": "c"})", R"(Info.json has no "Download URL" entry)"},
        {R"({"Device Name": 5, "CFBundleShortVersionString": "1", "NSHumanReadableCopyright": "c", "Download URL": "u"})",
         R"(Info.json: "Device Name" is a number, not a string)"},
        {kGoodInfo, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.info ? c.info : "no Info.json");
        ScratchFolder folder;
        folder.write(QStringLiteral("Opt/cam_RZ52940.bin"), image(0x0102));
        if (c.info)
            folder.write(QStringLiteral("Info.json"), c.info);
        MainWindow window;
        AppDelegate delegate(window, Resources(folder.path()));
        StderrCapture log;
        delegate.applicationDidFinishLaunching();
        drainMainQueue();
        const QString text = log.text(), problems = QStringLiteral("applicationDidFinishLaunching - ");
        EXPECT_EQ(c.problem ? text.contains(problems + folder.path() + u'/' + QLatin1String(c.problem)) : !text.contains(problems), true)
            << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("text: Please connect your LUMIVEX T camera.")));
        EXPECT_FALSE(window.applicationMenu()->title().startsWith(u' ')) << window.applicationMenu()->title().toStdString();
    }

    // A folder that is not there, or not a folder.
    ScratchFolder scratch;
    scratch.write(QStringLiteral("plain-file"), "x");
    for (const QString &path : {scratch.filePath(QStringLiteral("absent")), scratch.filePath(QStringLiteral("plain-file"))})
        EXPECT_EQ(Resources(path).problems().join(u'|').section(u' ', 0, 3), QStringLiteral("the resources folder ") + path);
}

TEST(Release, TheWindowKeepsItsLayoutsSizeAndAboutOpensOverIt)
{
    ScratchFolder folder;
    folder.write(QStringLiteral("Info.json"), kGoodInfo);
    MainWindow window;
    AppDelegate delegate(window, Resources(folder.path()));
    window.show();
    delegate.applicationDidFinishLaunching();
    for (const bool ring : {false, true}) {
        delegate.resize_app_window(ring, ring);
        const QSize laidOut = window.size();
        EXPECT_TRUE(window.minimumSize() == laidOut && window.maximumSize() == laidOut);
        window.resize(laidOut * 2);
        window.showMaximized();
        drainMainQueue();
        EXPECT_EQ(window.size(), laidOut);
        window.showNormal();
    }

    window.move(300, 200);
    delegate.about();
    const QWidget *about = AboutWindowController::defaultController().window();
    EXPECT_LE((about->frameGeometry().center() - window.frameGeometry().center()).manhattanLength(), 4);
}

TEST(Release, AnImageIsOfferedOnlyWhenSoundAndVouchedFor)
{
    const QByteArray a = image(0x0102), b = image(0x0103);
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

TEST(Release, AHugeSparseImageIsSkippedUnread)
{
    ScratchFolder folder;
    folder.write(QStringLiteral("Info.json"), kGoodInfo);
    folder.write(QStringLiteral("Opt/cam_RZ52940_0102.bin"), image(0x0102));
    writeSparse(folder.filePath(QStringLiteral("Opt/cam_RZ52940_0103.bin")), qint64(2) << 30);
    folder.write(QStringLiteral("no-cameras.json"), "[]");

    QProcess updater;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("LUMIVEX_RESOURCES_DIR"), folder.path());
    environment.insert(QStringLiteral("LUMIVEX_VIRTUAL_CAMERA"), folder.filePath(QStringLiteral("no-cameras.json")));
    updater.setProcessEnvironment(environment);
    updater.setReadChannel(QProcess::StandardError);
    updater.start(QStringLiteral(LUMIVEX_UPDATER));
    QByteArray err;
    while (!err.contains("Please connect your") && updater.waitForReadyRead(20000))
        err += updater.readAllStandardError();

    QFile status(QStringLiteral("/proc/%1/status").arg(updater.processId()));
    ASSERT_TRUE(status.open(QIODevice::ReadOnly));
    const QRegularExpressionMatch peak = QRegularExpression(QStringLiteral("VmHWM:\\s+(\\d+) kB")).match(QString::fromLatin1(status.readAll()));
    updater.kill();
    updater.waitForFinished();
    EXPECT_TRUE(err.contains("Please connect your LUMIVEX T camera.")) << err.toStdString();
    EXPECT_TRUE(err.contains("cam_RZ52940_0103.bin is never offered: 2147483648 bytes, more than the 1048580")) << err.toStdString();
    ASSERT_TRUE(peak.hasMatch());
#ifndef __SANITIZE_ADDRESS__ // the sanitizer's own bookkeeping is no measure of the updater's
    EXPECT_LT(peak.captured(1).toLongLong(), 100 * 1024);
#endif
}
