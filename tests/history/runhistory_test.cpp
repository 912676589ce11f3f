// The run history's file: where it lives, that its lines read back as written, and that damage to
// one line costs that line only.
#include "platform/runhistory.h"
#include "tests/support/testsupport.h"

#include <QFileInfo>

#include <gtest/gtest.h>

static RunRecord finished(const char *result, const char *step = "")
{
    return {RunHistory::now(), "1-2.4", "SN \"7\" é", "LUMIVEX T", "0100", "0102", "cam_RZ52940.bin", QString(64, u'a'),
            QLatin1String(result), QLatin1String(step), 12.345, "window"};
}

// Written each way (append, a kept file, the prepared bytes a signal handler writes): the same
// records back, in a private file and folders made on the way; a file that cannot be, a reason.
TEST(RunHistory, RecordsReadBackAsWrittenWhicheverWayTheyWereAppended)
{
    ScratchFolder folder;
    const QString path = folder.filePath(QStringLiteral("state/lumivex/history.jsonl"));
    const QList<RunRecord> records{finished("verified"), finished("failed", "program"), finished("removed", "erase")};
    EXPECT_EQ(RunHistory::append(RunHistory::line(records[0]), path), QString());
    const HistoryFile kept(path);
    EXPECT_EQ(kept.write(RunHistory::line(records[1])), QString());
    const QByteArray prepared = RunHistory::line(records[2]);
    EXPECT_EQ(RunHistory::writePrepared(kept.fd(), prepared.constData(), size_t(prepared.size())), 0);
    EXPECT_EQ(RunHistory::read(path).records, records);
    EXPECT_EQ(QFileInfo(path).permissions() & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(QFileInfo(folder.filePath(QStringLiteral("state"))).permissions() & 0x7077, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_NE(RunHistory::append(prepared, QStringLiteral("/dev/null/history.jsonl")), QString());
    EXPECT_TRUE(RunHistory::read(folder.filePath(QStringLiteral("none.jsonl"))).records.isEmpty());
}

// A damaged line in the middle and a last line cut short by a crash are skipped and named; the
// records around them stay.
TEST(RunHistory, DamagedAndTornLinesAreSkippedWithAWarningEach)
{
    ScratchFolder folder;
    const QByteArray good = RunHistory::line(finished("verified"));
    folder.write(QStringLiteral("h.jsonl"), good + "{\"time\":\"x\",\"res\n[1]\n\n" + good + good.chopped(1));
    const QString path = folder.filePath(QStringLiteral("h.jsonl"));
    const RunHistory::Contents contents = RunHistory::read(path);
    EXPECT_EQ(contents.records.size(), 2);
    const QString skipped = path + QStringLiteral(":%1: not a history record, skipped");
    EXPECT_EQ(contents.warnings, QStringList({skipped.arg(2), skipped.arg(3), skipped.arg(6)}));
}

// XDG_STATE_HOME when it names an absolute folder; otherwise the default under HOME.
TEST(RunHistory, TheFileIsUnderTheStateHomeOrItsDefault)
{
    const QByteArray saved = qgetenv("XDG_STATE_HOME"), home = qgetenv("HOME");
    qputenv("HOME", "/home/u");
    for (const char *state : {static_cast<const char *>(nullptr), "", "relative", "/s"}) {
        state ? qputenv("XDG_STATE_HOME", state) : qunsetenv("XDG_STATE_HOME");
        EXPECT_EQ(RunHistory::path(), (state && *state == '/' ? "/s" : "/home/u/.local/state") + QStringLiteral("/lumivex/history.jsonl"));
    }
    qputenv("XDG_STATE_HOME", saved);
    qputenv("HOME", home);
}
