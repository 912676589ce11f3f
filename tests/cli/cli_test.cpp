// lumivex-cli as a script runs it: a T catalogue and a virtual bus with two good T cameras, a T
// camera whose flash loses a page program, an S camera and a foreign webcam.
#include "tests/support/testsupport.h"
#include "tools/firmwareimagebuilder.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

QByteArray flashOf(const QByteArray &imageFile)
{
    return imageFile.mid(4);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class Cli : public ::testing::Test
{
protected:
    // latencyUs slows every camera down enough to be interrupted half-way.
    void SetUp() override { makeBus(0); }

    void makeBus(int latencyUs)
    {
        mImage = FirmwareImageBuilder().version(0x0102).product(QStringLiteral("LUMIVEX T")).flashLength(0x4000).build();
        mFolder.write(QStringLiteral("res/Info.json"), R"({"Device Name": "LUMIVEX", "CFBundleShortVersionString": "1",
            "NSHumanReadableCopyright": "c", "Download URL": "https://example.invalid/"})");
        mFolder.write(QStringLiteral("res/Opt/LUMIVEX_RZ52940_0102.bin"), mImage);
        const QByteArray t = flashOf(FirmwareImageBuilder().version(0x0100).product(QStringLiteral("LUMIVEX T")).build());
        for (const char *name : {"t1.flash", "t2.flash", "t3.flash"})
            mFolder.write(QString::fromLatin1(name), t);
        mSFlash = flashOf(FirmwareImageBuilder().version(0x0200).product(QStringLiteral("LUMIVEX S")).build());
        mFolder.write(QStringLiteral("s.flash"), mSFlash);
        // The first T camera's part holds 256 KiB by its JEDEC identifier, twice the table's size column.
        mFolder.write(QStringLiteral("cameras.json"), QStringLiteral(R"([
            {"vid": "0x046D", "pid": "0x0825", "product": "Integrated Webcam", "chip": null, "interfaces": [[14, 1], [14, 2], [1, 1]]},
            {"product": "LUMIVEX T", "flash": "t1.flash", "jedec": "EF3012", "flash_size": 262144, "latency_us": %1},
            {"product": "LUMIVEX T", "flash": "t2.flash", "latency_us": %1},
            {"product": "LUMIVEX T", "flash": "t3.flash", "lose_programs": [5], "latency_us": %1},
            {"product": "LUMIVEX S", "chip": "0xB0", "flash": "s.flash"}])").arg(latencyUs).toUtf8());
    }

    void start(QProcess &cli, const QStringList &arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LUMIVEX_RESOURCES_DIR"), mFolder.filePath(QStringLiteral("res")));
        environment.insert(QStringLiteral("LUMIVEX_VIRTUAL_CAMERA"), mFolder.filePath(QStringLiteral("cameras.json")));
        cli.setProcessEnvironment(environment);
        cli.start(QStringLiteral(LUMIVEX_CLI), arguments);
        ASSERT_TRUE(cli.waitForStarted());
    }

    struct Run {
        int status = -1;
        QList<QJsonObject> records;
        QString err;
        QJsonObject recordFor(const char *event, const QString &device) const
        {
            for (const QJsonObject &record : records) {
                if (record.value(u"event").toString() == QLatin1String(event) && record.value(u"device").toString() == device)
                    return record;
            }
            return {};
        }
    };

    static Run finish(QProcess &cli)
    {
        EXPECT_TRUE(cli.waitForFinished(60000));
        Run run{cli.exitCode(), {}, QString::fromUtf8(cli.readAllStandardError())};
        for (const QByteArray &line : cli.readAllStandardOutput().split('\n')) {
            if (!line.isEmpty())
                run.records << QJsonDocument::fromJson(line).object();
        }
        return run;
    }

    Run run(const QStringList &arguments)
    {
        QProcess cli;
        start(cli, arguments);
        return finish(cli);
    }

    ScratchFolder mFolder;
    QByteArray mImage;
    QByteArray mSFlash;
};

TEST_F(Cli, ListsUpdatesAndDumpsTheCamerasOfTheFamily)
{
    const Run listed = run({QStringLiteral("list"), QStringLiteral("--json")});
    EXPECT_EQ(listed.status, 0) << listed.err.toStdString();
    QStringList seen;
    for (const QJsonObject &camera : listed.records)
        seen << camera.value(u"device").toString() + u' ' + camera.value(u"kind").toString() + u' ' + camera.value(u"decision").toString();
    EXPECT_EQ(seen, (QStringList{"1-2 T offer", "1-3 T offer", "1-4 T offer", "1-5 S mismatch"}));
    EXPECT_EQ(listed.recordFor("camera", QStringLiteral("1-2")).value(u"offered").toString(), QStringLiteral("0102"));

    const Run updated = run({QStringLiteral("update"), QStringLiteral("--all"), QStringLiteral("--yes"), QStringLiteral("--json")});
    EXPECT_EQ(updated.status, 1) << updated.err.toStdString();
    QStringList outcomes;
    for (const char *device : {"1-2", "1-3", "1-4", "1-5"})
        outcomes << updated.recordFor("result", QString::fromLatin1(device)).value(u"outcome").toString();
    EXPECT_EQ(outcomes, (QStringList{"verified", "verified", "failed", "untouched"}));
    EXPECT_TRUE(updated.recordFor("result", QStringLiteral("1-5")).value(u"reason").toString().contains(QStringLiteral("cannot be updated with the LUMIVEX T updater")));
    for (const char *name : {"t1.flash", "t2.flash"})
        EXPECT_TRUE(readFile(mFolder.filePath(QString::fromLatin1(name))).startsWith(flashOf(mImage))) << name;
    EXPECT_TRUE(readFile(mFolder.filePath(QStringLiteral("s.flash"))) == mSFlash);

    const QString dumpFile = mFolder.filePath(QStringLiteral("before.bin"));
    const Run dumped = run({QStringLiteral("dump"), QStringLiteral("--device"), QStringLiteral("1-2"), dumpFile});
    EXPECT_EQ(dumped.status, 0) << dumped.err.toStdString();
    const QByteArray saved = readFile(dumpFile);
    EXPECT_EQ(saved.size(), 262144);
    EXPECT_TRUE(saved == readFile(mFolder.filePath(QStringLiteral("t1.flash"))));
    // Never over a file that is there.
    EXPECT_EQ(run({QStringLiteral("dump"), QStringLiteral("--device=1-3"), dumpFile}).status, 2);
    EXPECT_TRUE(readFile(dumpFile) == saved);
}

TEST_F(Cli, BadArgumentsAndUnknownDevicesGiveAReasonAndTheirStatus)
{
    const struct { QStringList arguments; int status; const char *reason; } cases[] = {
        {{}, 2, "no command given"},
        {{"flash"}, 2, "unknown command flash"},
        {{"list", "--fast"}, 2, "unknown option --fast"},
        {{"update", "--all", "--device", "1-2"}, 2, "not both"},
        {{"dump", "out.bin"}, 2, "dump needs --device"},
        {{"update", "--yes"}, 2, "4 cameras are attached"},
        {{"update", "--device", "7-1", "--yes"}, 4, "no camera of the family at 7-1 (attached: 1-2, 1-3, 1-4, 1-5)"},
        {{"dump", "--device", "1-1", "out.bin"}, 4, "no camera of the family at 1-1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const Run r = run(c.arguments);
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(r.err.count(u'\n') == 1 && r.err.contains(QLatin1String(c.reason)) && r.records.isEmpty()) << r.err.toStdString();
    }
}

TEST_F(Cli, CtrlCOnceFinishesTheCameraBeingWrittenTwiceStopsAtOnce)
{
    makeBus(400);
    const QByteArray untouched = readFile(mFolder.filePath(QStringLiteral("t2.flash")));
    for (const int presses : {1, 2}) {
        SCOPED_TRACE(presses);
        QProcess cli;
        start(cli, {QStringLiteral("update"), QStringLiteral("--all"), QStringLiteral("--yes"), QStringLiteral("--json")});
        // Pressed once the first camera is being written.
        QByteArray out;
        while (!out.contains(R"("stage":"writing")") && cli.waitForReadyRead(20000))
            out += cli.readAllStandardOutput();
        for (int i = 0; i < presses; ++i) {
            ::kill(pid_t(cli.processId()), SIGINT);
            QThread::msleep(50);
        }
        Run r = finish(cli);
        for (const QByteArray &line : out.split('\n')) {
            if (!line.isEmpty())
                r.records.prepend(QJsonDocument::fromJson(line).object());
        }
        EXPECT_EQ(r.status, 1);
        const QJsonObject first = r.recordFor("result", QStringLiteral("1-2"));
        if (presses == 1) {
            EXPECT_EQ(first.value(u"outcome").toString(), QStringLiteral("verified"));
            EXPECT_TRUE(r.err.contains(QStringLiteral("finishes first"))) << r.err.toStdString();
            EXPECT_EQ(r.recordFor("result", QStringLiteral("1-3")).value(u"outcome").toString(), QStringLiteral("not started"));
        } else {
            EXPECT_EQ(first.value(u"outcome").toString(), QStringLiteral("failed"));
            EXPECT_TRUE(r.recordFor("result", QStringLiteral("1-3")).isEmpty());
        }
        // No camera after the first was touched, and nothing unverified was called verified.
        EXPECT_TRUE(readFile(mFolder.filePath(QStringLiteral("t2.flash"))) == untouched);
        for (const QJsonObject &record : r.records)
            EXPECT_FALSE(record.value(u"outcome").toString() == u"verified" && record.value(u"device").toString() != u"1-2");
    }
}

} // namespace
