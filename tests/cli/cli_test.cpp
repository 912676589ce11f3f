// lumivex-cli as a script runs it: a T catalogue and a virtual bus with two good T cameras, a T
// camera whose flash loses a page program, an S camera and a foreign webcam.
#include "tests/support/testsupport.h"
#include "tools/firmwareimagebuilder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

QByteArray flashOf(uint16_t version, const char *product)
{
    return FirmwareImageBuilder().version(version).product(QLatin1String(product)).flashLength(0x4000).build().mid(4);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a run printed: its records by event and device ("result 1-2"), in the order of the devices.
struct CliRun
{
    int status = -1;
    QString err;
    QMap<QString, QJsonObject> records;
    int strays = 0; // lines on standard output that are no record
    QByteArray out;

    void read(const QByteArray &printed)
    {
        out += printed;
        for (const QByteArray &line : printed.split('\n')) {
            const QJsonObject record = QJsonDocument::fromJson(line).object();
            if (!record.isEmpty())
                records.insert(record.value(u"event").toString() + u' ' + record.value(u"device").toString(), record);
            else
                strays += !line.isEmpty();
        }
    }
    QString field(const char *event, const char *device, const char *key) const
    {
        return records.value(QLatin1String(event) + u' ' + QLatin1String(device)).value(QLatin1String(key)).toString();
    }
    QString outcome(const char *device) const { return field("result", device, "outcome"); }
};

class Cli : public ::testing::Test
{
protected:
    // latencyUs slows every camera down enough to be interrupted half-way.
    void SetUp() override { makeBus(0); }

    void makeBus(int latencyUs)
    {
        mFolder.write(QStringLiteral("res/Info.json"), R"({"Device Name": "LUMIVEX", "CFBundleShortVersionString": "1",
            "NSHumanReadableCopyright": "c", "Download URL": "https://example.invalid/"})");
        mFolder.write(QStringLiteral("res/Opt/LUMIVEX_RZ52940_0102.bin"), QByteArray(4, '\0') + mImage);
        for (const char *name : {"t1.flash", "t2.flash", "t3.flash"})
            mFolder.write(QString::fromLatin1(name), flashOf(0x0100, "LUMIVEX T"));
        mFolder.write(QStringLiteral("s.flash"), mSFlash);
        // The first T camera's part holds 256 KiB by its JEDEC identifier, twice the table's size column.
        mFolder.write(QStringLiteral("cameras.json"), QStringLiteral(R"([
            {"vid": "0x046D", "pid": "0x0825", "product": "Integrated Webcam", "chip": null, "interfaces": [[14, 1], [14, 2], [1, 1]]},
            {"product": "LUMIVEX T", "flash": "t1.flash", "jedec": "EF3012", "flash_size": 262144, "latency_us": %1},
            {"product": "LUMIVEX T", "flash": "t2.flash", "latency_us": %1},
            {"product": "LUMIVEX T", "flash": "t3.flash", "lose_programs": [1], "latency_us": %1},
            {"product": "LUMIVEX S", "chip": "0xB0", "flash": "s.flash"},
            {"product": "LUMIVEX X", "interfaces": [[14, 1], [14, 2]]},
            {"product": "LUMIVEX T", "jedec": "EF4015"}])").arg(latencyUs).toUtf8()); // no bridge; a part not in the table
    }

    // throughHead: its records go to `head -n 2`, which stops reading after two.
    void start(QProcess &cli, const QStringList &arguments, bool throughHead = false)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LUMIVEX_RESOURCES_DIR"), mFolder.filePath(mResources));
        environment.insert(QStringLiteral("LUMIVEX_VIRTUAL_CAMERA"), mFolder.filePath(mCameras));
        environment.insert(QStringLiteral("XDG_STATE_HOME"), mFolder.filePath(QStringLiteral("state")));
        cli.setProcessEnvironment(environment);
        if (throughHead)
            cli.start("bash", QStringList{"-c", R"("$0" "$@" | head -n 2 >/dev/null; exit ${PIPESTATUS[0]})", LUMIVEX_CLI} + arguments);
        else
            cli.start(QStringLiteral(LUMIVEX_CLI), arguments);
        ASSERT_TRUE(cli.waitForStarted());
        cli.closeWriteChannel(); // a question is answered by the end of the input: no
    }

    static CliRun finish(QProcess &cli, CliRun run = {})
    {
        EXPECT_TRUE(cli.waitForFinished(60000));
        run.status = cli.exitCode();
        run.err = QString::fromUtf8(cli.readAllStandardError());
        run.read(cli.readAllStandardOutput());
        return run;
    }

    CliRun run(const QStringList &arguments)
    {
        QProcess cli;
        start(cli, arguments);
        return finish(cli);
    }

    ScratchFolder mFolder;
    QString mResources = QStringLiteral("res"), mCameras = QStringLiteral("cameras.json");
    const QByteArray mImage = flashOf(0x0102, "LUMIVEX T"), mSFlash = flashOf(0x0200, "LUMIVEX S");
};

TEST_F(Cli, ListsUpdatesAndDumpsTheCamerasOfTheFamily)
{
    // The camera session's diagnostic lines never mix into the records: standard error with
    // --verbose, else nowhere.
    const CliRun listed = run({"list", "--json"});
    EXPECT_TRUE(listed.status == 0 && listed.strays == 0 && !listed.err.contains(u"intfNumber")) << listed.err.toStdString();
    EXPECT_TRUE(run({"list", "--json", "--verbose"}).err.contains(u"intfNumber: 3. intfClass: 3, intfSubClass: 0"));
    QStringList seen;
    for (const QJsonObject &camera : listed.records)
        seen << QStringList{camera.value(u"device").toString(), camera.value(u"kind").toString(), camera.value(u"decision").toString(),
                            camera.value(u"offered").toString()}.join(u' ');
    EXPECT_EQ(seen, (QStringList{"1-2 T offer 0102", "1-3 T offer 0102", "1-4 T offer 0102", "1-5 S mismatch ",
                                 "1-6  cannot open ", "1-7 T offer 0102"}));
    EXPECT_TRUE(listed.records.value("camera 1-6").value(u"reason").toString().contains(u"no bridge to talk to"));

    QByteArray before = readFile(mFolder.filePath(QStringLiteral("t1.flash")));
    before.append(262144 - before.size(), '\xFF'); // the part, erased past the file
    const QString backups = mFolder.filePath(QStringLiteral("backups"));
    QDir().mkpath(backups);
    const CliRun updated = run({"update", "--all", "--yes", "--json", "--backup", backups});
    EXPECT_EQ(updated.status, 1) << updated.err.toStdString();
    QStringList outcomes;
    for (const char *device : {"1-2", "1-3", "1-4", "1-5", "1-6", "1-7"})
        outcomes << updated.outcome(device);
    EXPECT_EQ(outcomes, (QStringList{"verified", "verified", "failed", "untouched", "failed", "untouched"}));
    EXPECT_EQ(updated.records.value("result 1-7").value(u"reason").toString(), "the flash part is not one this updater supports");
    EXPECT_TRUE(updated.records.value("result 1-5").value(u"reason").toString().contains(u"cannot be updated with the LUMIVEX T updater"));
    for (const char *name : {"t1.flash", "t2.flash"})
        EXPECT_TRUE(readFile(mFolder.filePath(QString::fromLatin1(name))).startsWith(mImage)) << name;
    // Each camera written left its line in the history, which a torn last line does not spoil.
    QFile history(mFolder.filePath(QStringLiteral("state/lumivex/history.jsonl")));
    ASSERT_TRUE(history.open(QIODevice::Append));
    history.write(R"({"time":"2026)");
    history.close();
    const CliRun runs = run({"history", "--json"});
    EXPECT_TRUE(runs.status == 0 && runs.err.contains(u"history.jsonl:5: not a history record, skipped")) << runs.err.toStdString();
    QStringList lines;
    for (const char *device : {"1-2", "1-3", "1-4", "1-7"})
        lines << QStringList{runs.field("history", device, "from"), runs.field("history", device, "to"), runs.field("history", device, "result"),
                             runs.field("history", device, "failed_step"), runs.field("history", device, "source")}.join(u' ');
    EXPECT_EQ(lines, (QStringList{"0100 0102 verified  cli", "0100 0102 verified  cli", "0100 0102 failed verify cli", "0000 0102 untouched identify cli"}));
    EXPECT_EQ(runs.field("history", "1-2", "sha256"), QString::fromLatin1(QCryptographicHash::hash(QByteArray(4, '\0') + mImage, QCryptographicHash::Sha256).toHex()));
    EXPECT_TRUE(readFile(mFolder.filePath(QStringLiteral("s.flash"))) == mSFlash);
    // The camera the failure left without a record is repaired by the next run, its flash now sound.
    const QString cameras = mFolder.filePath(QStringLiteral("cameras.json"));
    mFolder.write(QStringLiteral("cameras.json"), readFile(cameras).replace(R"("lose_programs": [1], )", ""));
    const CliRun repaired = run({"update", "--device", "1-4", "--yes", "--json"});
    EXPECT_TRUE(repaired.status == 0 && repaired.records.value("camera 1-4").value(u"installed").toString() == "0000");
    EXPECT_TRUE(readFile(mFolder.filePath(QStringLiteral("t3.flash"))).startsWith(mImage));

    // Each camera written was saved first, whole; the saved flash goes back as it was.
    const QStringList saved = QDir(backups).entryList({QStringLiteral("1-2-0100-*.bin")});
    ASSERT_EQ(saved.size(), 1);
    const QString backup = QDir(backups).filePath(saved[0]);
    EXPECT_TRUE(readFile(backup) == before);
    EXPECT_EQ(QDir(backups).entryList({QStringLiteral("1-*.bin")}).size(), 4); // 1-7's too: refused only after it
    const CliRun restored = run({"restore", "--device", "1-2", "--yes", "--json", backup});
    EXPECT_TRUE(restored.status == 0 && restored.outcome("1-2") == "verified") << restored.err.toStdString();
    EXPECT_TRUE(readFile(mFolder.filePath(QStringLiteral("t1.flash"))) == before);

    // Larger than the part, or no firmware record: refused, nothing erased.
    const QByteArray t2 = readFile(mFolder.filePath(QStringLiteral("t2.flash")));
    const QString blank = mFolder.filePath(QStringLiteral("blank.bin"));
    mFolder.write(QStringLiteral("blank.bin"), QByteArray(0x4000, '\0'));
    for (const QString &file : {backup, blank}) {
        const CliRun refused = run({"restore", "--device", "1-3", "--yes", "--json", file});
        EXPECT_TRUE(refused.status == 1 && refused.outcome("1-3") == "untouched") << refused.field("result", "1-3", "reason").toStdString();
    }
    EXPECT_TRUE(readFile(mFolder.filePath(QStringLiteral("t2.flash"))) == t2);

    const QString dumpFile = mFolder.filePath(QStringLiteral("before.bin"));
    EXPECT_EQ(run({"dump", "--device", "1-2", dumpFile}).status, 0);
    EXPECT_TRUE(readFile(dumpFile) == before);
    // Never over a file that is there.
    EXPECT_EQ(run({"dump", "--device=1-3", dumpFile}).status, 2);
    EXPECT_TRUE(readFile(dumpFile) == before);
}

// Each refusal is one line on standard error and, since records were asked for, one error record.
TEST_F(Cli, BadArgumentsAndUnknownDevicesGiveAReasonAndTheirStatus)
{
    const struct { QStringList arguments; int status; const char *reason; } cases[] = {
        {{}, 2, "no command given"},
        {{"flash"}, 2, "unknown command flash"},
        {{"list", "--fast"}, 2, "unknown option --fast"},
        {{"update", "--all", "--device", "1-2"}, 2, "not both"},
        {{"verify", "--yes"}, 2, "verify does not take --yes"},
        {{"dump", "out.bin"}, 2, "dump needs --device"},
        {{"dump", "--device", "1-2", "-"}, 2, "not standard output"},
        {{"update", "--yes"}, 2, "6 cameras are attached"},
        {{"update", "--device", "7-1", "--yes"}, 4, "no camera of the family at 7-1 (attached: 1-2, 1-3, 1-4, 1-5, 1-6, 1-7)"},
        {{"dump", "--device", "1-2", "no/such/folder/out.bin"}, 1, "cannot create no/such/folder/out.bin"},
    };
    for (const auto &c : cases) {
        const CliRun r = run(c.arguments + QStringList{"--json"});
        EXPECT_TRUE(r.status == c.status && r.err.count(u'\n') == 1 && r.err.contains(QLatin1String(c.reason)) && r.records.size() == 1
                    && r.records.value("error ").value(u"status").toInt() == c.status)
            << c.arguments.join(u' ').toStdString() << ": " << r.status << ' ' << r.err.toStdString();
    }
}

// An empty, wholly refused or damaged catalogue is "no firmware" (5) for every command that
// decides, whatever the cameras; no camera at all is said with where to look.
TEST_F(Cli, NoFirmwareAndNoCameraAreSaidWithTheirStatus)
{
    mFolder.write(QStringLiteral("blank/Opt/LUMIVEX_RZ52940_0102.bin"), QByteArray(0x4004, '\xFF'));
    for (const char *name : {"a", "b", "c"})
        mFolder.write(QStringLiteral("damaged/%1.resource").arg(QLatin1String(name)), "not a catalogue");
    mFolder.write(QStringLiteral("none.json"), "[]");
    const struct { const char *resources, *cameras; QStringList arguments; int status; const char *said; } cases[] = {
        {"missing", "cameras.json", {"list"}, 5, "No firmware is available in this updater"},
        {"blank", "cameras.json", {"update", "--all", "--yes"}, 5, "no firmware in the catalogue"},
        {"damaged", "cameras.json", {"verify", "--all"}, 5, "no firmware in the catalogue"},
        {"res", "none.json", {"update", "--yes"}, 3, "none is attached. If one is plugged in"},
    };
    for (const auto &c : cases) {
        mResources = QLatin1String(c.resources);
        mCameras = QLatin1String(c.cameras);
        const CliRun r = run(c.arguments);
        EXPECT_TRUE(r.status == c.status && r.err.contains(QLatin1String(c.said))) << c.resources << ": " << r.err.toStdString();
    }
}

// The command line's own rule over cameras at a newer version, at the image's own, and at the
// image's version over a flash that differs; a camera the run leaves half-written then reads as
// differing, never as current. A name from the catalogue prints escaped.
TEST_F(Cli, UpdatesOnlyWhatNeedsItAndVerifyTellsAFailedCameraFromACurrentOne)
{
    QByteArray dirty = mImage + QByteArray(0x800, '\xFF');
    dirty.append('\0'); // inside the image's last erased sector
    mFolder.write(QStringLiteral("t1.flash"), flashOf(0x0103, "LUMIVEX T"));
    mFolder.write(QStringLiteral("t2.flash"), mImage);
    mFolder.write(QStringLiteral("t3.flash"), dirty); // and it loses a page when written
    mFolder.write(QStringLiteral("res/Opt/LUMIVEX_RZ52940_0102_\x1b[31m\n1-9  verified.bin"), QByteArray(4, '\0') + mImage);

    const CliRun listed = run({"list"});
    EXPECT_TRUE(listed.strays == 6 && listed.out.contains(R"(0102_\x1b[31m\n1-9  verified.bin)")) << listed.out.toStdString();

    const CliRun updated = run({"update", "--all", "--yes", "--json"});
    EXPECT_EQ(updated.status, 1);
    EXPECT_EQ(QStringList({updated.outcome("1-2"), updated.outcome("1-3"), updated.outcome("1-4")}),
              (QStringList{"skipped", "skipped", "failed"}));
    EXPECT_TRUE(updated.field("result", "1-2", "reason").contains(u"newer than the catalogue's 0102; --allow-older"));
    EXPECT_TRUE(updated.field("result", "1-3", "reason").startsWith(u"up to date"));
    EXPECT_EQ(updated.field("result", "1-4", "action"), "reinstall");
    EXPECT_EQ(readFile(mFolder.filePath(QStringLiteral("t1.flash"))), flashOf(0x0103, "LUMIVEX T"));

    const CliRun checked = run({"verify", "--all", "--json"});
    QStringList flash;
    for (const char *device : {"1-2", "1-3", "1-4", "1-5", "1-6", "1-7"})
        flash << checked.field("verify", device, "flash").left(12);
    EXPECT_TRUE(checked.status == 1 && flash == (QStringList{"differs at 0", "matches", "differs at 0", "no image", "cannot check", "cannot check"}))
        << flash.join(u',').toStdString();
    EXPECT_EQ(checked.field("verify", "1-4", "flash"), "differs at 0x0"); // its first page was lost
    EXPECT_EQ(run({"list", "--verify", "--json"}).field("camera", "1-4", "flash"), "differs at 0x0");
    EXPECT_EQ(run({"verify", "--device", "1-3"}).status, 0);

    // A downgrade is asked as one (no answer: declined), and recorded as one.
    const CliRun declined = run({"update", "--device", "1-2", "--allow-older"});
    EXPECT_TRUE(declined.status == 3 && declined.err.contains(u"downgrade 0103 -> 0102")) << declined.err.toStdString();
    const CliRun older = run({"update", "--device", "1-2", "--allow-older", "--yes", "--json"});
    EXPECT_TRUE(older.status == 0 && older.field("result", "1-2", "action") == "downgrade" && older.outcome("1-2") == "verified");
    EXPECT_EQ(run({"update", "--device", "1-3", "--reinstall", "--yes", "--json"}).field("result", "1-3", "action"), "reinstall");
}

// Ctrl-C, SIGTERM and SIGHUP alike: the first lets the cameras being written finish, the second of
// any of them stops at once, with a record for every camera left unfinished, each of those written
// side by side its own. A reader that goes away (`| head`) ends nothing: the run finishes and the
// exit status tells.
TEST_F(Cli, SignalsFinishTheCamerasBeingWrittenOrStopAtOnceAndAClosedReaderEndsNothing)
{
    makeBus(400);
    // secondWritten: whether the second camera ends holding the image, when that is certain.
    const struct { std::vector<int> sent; const char *jobs; QStringList outcomes; const char *said; std::optional<bool> secondWritten; } cases[] = {
        {{SIGINT}, "1", {"verified", "not started", "not started"}, "finish first", false},
        {{SIGTERM}, "8", {"verified", "verified", "failed"}, "finish first", true},
        {{SIGHUP, SIGINT}, "8", {"failed", "failed", "failed"}, "left half-written", std::nullopt},
        {{}, "8", {}, "", true}, // its reader gone instead
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sent.size());
        QProcess cli;
        start(cli, {"update", "--all", "--yes", "--json", "--jobs", c.jobs}, c.sent.empty());
        // Sent once the first camera is being written.
        QByteArray out;
        while (!c.sent.empty() && !out.contains(R"("stage":"writing")") && cli.waitForReadyRead(20000))
            out += cli.readAllStandardOutput();
        for (const int signal : c.sent) {
            ::kill(pid_t(cli.processId()), signal);
            QThread::msleep(50);
        }
        CliRun r;
        r.read(out);
        r = finish(cli, r);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains(QLatin1String(c.said))) << r.err.toStdString();
        EXPECT_EQ(QStringList({r.outcome("1-2"), r.outcome("1-3"), r.outcome("1-4")}).join(u' ').trimmed(), c.outcomes.join(u' '));
        EXPECT_TRUE(!c.secondWritten || readFile(mFolder.filePath(QStringLiteral("t2.flash"))).startsWith(mImage) == *c.secondWritten);
        makeBus(400);
    }
    // The stop at once left each camera it cut short its line in the history, prepared before the run.
    const QList<QByteArray> lines = readFile(mFolder.filePath(QStringLiteral("state/lumivex/history.jsonl"))).split('\n');
    for (const char *device : {"1-2", "1-3", "1-4"}) {
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const QByteArray &line) {
                      return line.contains(R"("result":"stopped")") && line.contains(R"("device":")" + QByteArray(device) + '"');
                  }), 1) << device;
    }
}

} // namespace
