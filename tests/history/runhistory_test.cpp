// The run history's file: where it lives, that its lines read back as written, and that damage to
// one line costs that line only.
#include "platform/runhistory.h"
#include "tests/support/testsupport.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

RunRecord finished(const QString &result, const QString &step = {})
{
    return {RunHistory::now(), QStringLiteral("1-2.4"), QStringLiteral("SN \"7\" é"), QStringLiteral("LUMIVEX T"),
            QStringLiteral("0100"), QStringLiteral("0102"), QStringLiteral("cam_RZ52940.bin"), QString(64, u'a'),
            result, step, 12.345, QStringLiteral("window")};
}

} // namespace

// Written through each way in (append, a kept file, the prepared bytes a signal handler writes):
// the same records back, in private folders and a private file made on the way.
TEST(RunHistory, RecordsReadBackAsWrittenWhicheverWayTheyWereAppended)
{
    ScratchFolder folder;
    const QString path = folder.filePath(QStringLiteral("state/lumivex/history.jsonl"));
    const RunRecord records[] = {finished(QStringLiteral("verified")), finished(QStringLiteral("failed"), QStringLiteral("program")),
                                 finished(QStringLiteral("removed"), QStringLiteral("erase"))};
    EXPECT_EQ(RunHistory::append(RunHistory::line(records[0]), path), QString());
    const HistoryFile kept(path);
    EXPECT_EQ(kept.write(RunHistory::line(records[1])), QString());
    const QByteArray prepared = RunHistory::line(records[2]);
    EXPECT_EQ(RunHistory::writePrepared(kept.fd(), prepared.constData(), size_t(prepared.size())), 0);
    const RunHistory::Contents contents = RunHistory::read(path);
    EXPECT_TRUE(contents.warnings.isEmpty()) << contents.warnings.join(u'\n').toStdString();
    EXPECT_EQ(contents.records, QList<RunRecord>(std::begin(records), std::end(records)));
    EXPECT_EQ(QFileInfo(path).permissions() & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(QFileInfo(folder.filePath(QStringLiteral("state"))).permissions() & 0x7077, QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_NE(RunHistory::append(prepared, QStringLiteral("/dev/null/history.jsonl")), QString()); // a reason, not a crash
    EXPECT_TRUE(RunHistory::read(folder.filePath(QStringLiteral("none.jsonl"))).records.isEmpty());
}

// A damaged line in the middle and a last line cut short by a crash are skipped and named; the
// records around them stay.
TEST(RunHistory, DamagedAndTornLinesAreSkippedWithAWarningEach)
{
    ScratchFolder folder;
    const QByteArray good = RunHistory::line(finished(QStringLiteral("verified")));
    folder.write(QStringLiteral("h.jsonl"), good + "{\"time\":\"x\",\"res\n" + "[1]\n\n" + good + good.left(good.size() - 1));
    const QString path = folder.filePath(QStringLiteral("h.jsonl"));
    const RunHistory::Contents contents = RunHistory::read(path);
    EXPECT_EQ(contents.records.size(), 2);
    EXPECT_EQ(contents.warnings, QStringList({path + QStringLiteral(":2: not a history record, skipped"),
                                              path + QStringLiteral(":3: not a history record, skipped"),
                                              path + QStringLiteral(":6: not a history record, skipped")}));
}

// XDG_STATE_HOME when it names an absolute folder; otherwise the default under HOME.
TEST(RunHistory, TheFileIsUnderTheStateHomeOrItsDefault)
{
    const QByteArray saved = qgetenv("XDG_STATE_HOME"), home = qgetenv("HOME");
    qputenv("HOME", "/home/u");
    const struct { const char *state; const char *path; } cases[] = {
        {nullptr, "/home/u/.local/state/lumivex/history.jsonl"},
        {"", "/home/u/.local/state/lumivex/history.jsonl"},
        {"relative", "/home/u/.local/state/lumivex/history.jsonl"},
        {"/s", "/s/lumivex/history.jsonl"},
    };
    for (const auto &c : cases) {
        c.state ? qputenv("XDG_STATE_HOME", c.state) : qunsetenv("XDG_STATE_HOME");
        EXPECT_EQ(RunHistory::path(), QString::fromLatin1(c.path)) << (c.state ? c.state : "unset");
    }
    qputenv("XDG_STATE_HOME", saved);
    qputenv("HOME", home);
}
