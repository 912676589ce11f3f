// What lumivex-cli tells, and where.
#include "cli/clireporter.h"

#include "platform/printable.h"

#include <QJsonDocument>

#include <algorithm>

namespace {

constexpr int kBarWidth = 30;

QString joined(std::initializer_list<QString> parts)
{
    QStringList present;
    for (const QString &part : parts) {
        if (!part.isEmpty())
            present << part;
    }
    return present.join(QStringLiteral("  "));
}

} // namespace

CliReporter::CliReporter(bool json, std::FILE *records, std::FILE *notes, bool notesAreTerminal)
    : mJson(json)
    , mRecords(records)
    , mNotes(notes)
    , mTerminal(notesAreTerminal)
{
}

QByteArray CliReporter::format(const QJsonObject &json, const QString &text) const
{
    return (mJson ? QJsonDocument(json).toJson(QJsonDocument::Compact) : printable(text).toUtf8()) + '\n';
}

void CliReporter::write(const QByteArray &record)
{
    std::lock_guard guard(mLock);
    eraseBars();
    put(record);
    drawBars();
}

void CliReporter::put(const QByteArray &record)
{
    std::lock_guard guard(mLock);
    std::fwrite(record.constData(), 1, size_t(record.size()), mRecords);
    std::fflush(mRecords);
}

void CliReporter::camera(const Camera &c)
{
    QJsonObject json{{"event", "camera"}, {"device", c.device}, {"kind", c.kind}, {"product", c.product},
                     {"installed", c.installed}, {"decision", c.decision}};
    if (!c.image.isEmpty()) {
        json.insert(QStringLiteral("image"), c.image);
        json.insert(QStringLiteral("offered"), c.offered);
    }
    for (const auto &[key, value] : {std::pair{"reason", c.reason}, {"link", c.link}, {"flash", c.flash}}) {
        if (!value.isEmpty())
            json.insert(QLatin1String(key), value);
    }
    const QString decision = c.image.isEmpty() ? c.decision : QStringLiteral("offer %1 (%2)").arg(c.image, c.offered);
    QString text = joined({c.device, c.kind, c.product, c.installed, decision, c.flash});
    if (!c.reason.isEmpty())
        text += QStringLiteral(": ") + c.reason;
    if (!c.link.isEmpty())
        text += QStringLiteral(" <%1>").arg(c.link);
    write(format(json, text));
}

void CliReporter::progress(const QString &device, const char *stage, double percent)
{
    std::lock_guard guard(mLock);
    const QString stageName = QString::fromLatin1(stage);
    const int shown = int(percent);
    Shown &last = mShown[device];
    // Whole percents for a script and for the bars; tens for a log that is read later.
    const int step = mJson || mTerminal ? 1 : 10;
    if (stageName == last.stage && shown / step == last.percent / step)
        return;
    last = {stageName, shown};

    if (mJson) {
        put(format({{"event", "progress"}, {"device", device}, {"stage", stageName}, {"percent", shown}}, {}));
        return;
    }
    if (!mTerminal) {
        std::fprintf(mNotes, "%s %s %d%%\n", qPrintable(printable(device)), stage, shown);
        std::fflush(mNotes);
        return;
    }
    const int filled = shown * kBarWidth / 100;
    const QByteArray bar = QStringLiteral("%1 %2 [%3%4] %5%").arg(printable(device), stageName.leftJustified(9))
                               .arg(QString(filled, u'#'), QString(kBarWidth - filled, u'-'))
                               .arg(shown, 3).toUtf8();
    const auto line = std::find_if(mBars.begin(), mBars.end(), [&](const auto &b) { return b.first == device; });
    if (line != mBars.end())
        line->second = bar;
    else
        mBars.emplace_back(device, bar);
    eraseBars();
    drawBars();
}

void CliReporter::eraseBars()
{
    // Up to the first bar's line, and everything from there down cleared.
    if (mBarsDrawn > 0)
        std::fprintf(mNotes, "\x1b[%dA\r\x1b[J", mBarsDrawn);
    mBarsDrawn = 0;
}

void CliReporter::drawBars()
{
    if (!mTerminal)
        return;
    for (const auto &[device, bar] : mBars)
        std::fprintf(mNotes, "%s\n", bar.constData());
    mBarsDrawn = int(mBars.size());
    std::fflush(mNotes);
}

QByteArray CliReporter::resultRecord(const QString &device, const char *outcome, const QString &reason) const
{
    return resultRecord(device, outcome, reason, {});
}

QByteArray CliReporter::resultRecord(const QString &device, const char *outcome, const QString &reason,
                                     const QJsonObject &extra) const
{
    QJsonObject json = extra;
    json.insert(QStringLiteral("event"), QStringLiteral("result"));
    json.insert(QStringLiteral("device"), device);
    json.insert(QStringLiteral("outcome"), QLatin1String(outcome));
    if (!reason.isEmpty())
        json.insert(QStringLiteral("reason"), reason);
    return format(json, joined({device, QString::fromLatin1(outcome)}) + (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason));
}

void CliReporter::result(const QString &device, const char *outcome, const QString &reason, const QJsonObject &extra)
{
    std::lock_guard guard(mLock);
    // The camera's line goes with its result; so does what its progress showed, so that a later
    // run on it (a restore after a dump) starts its stages afresh.
    std::erase_if(mBars, [&](const auto &b) { return b.first == device; });
    mShown.erase(device);
    write(resultRecord(device, outcome, reason, extra));
}

void CliReporter::flashCheck(const QString &device, const QString &flash, const QString &reason)
{
    QJsonObject json{{"event", "verify"}, {"device", device}, {"flash", flash}};
    if (!reason.isEmpty())
        json.insert(QStringLiteral("reason"), reason);
    write(format(json, joined({device, flash}) + (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason)));
}

void CliReporter::history(const RunRecord &r)
{
    QJsonObject json = QJsonDocument::fromJson(RunHistory::line(r)).object();
    json.insert(QStringLiteral("event"), QStringLiteral("history"));
    const QString result = r.failedStep.isEmpty() ? r.result : QStringLiteral("%1 (%2)").arg(r.result, r.failedStep);
    write(format(json, joined({r.time, r.source, r.device, r.serial, r.product, QStringLiteral("%1 -> %2").arg(r.fromVersion, r.toVersion),
                               result, QStringLiteral("%1 s").arg(r.seconds, 0, 'f', 1), r.image})));
}

void CliReporter::note(const QString &text)
{
    std::lock_guard guard(mLock);
    eraseBars();
    std::fprintf(mNotes, "%s\n", qPrintable(printable(text)));
    drawBars();
    std::fflush(mNotes);
}

void CliReporter::error(int status, const QString &text)
{
    note(QStringLiteral("lumivex-cli: ") + text);
    if (mJson)
        put(format({{"event", "error"}, {"status", status}, {"message", text}}, {}));
}
