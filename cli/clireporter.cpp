// What lumivex-cli tells, and where.
#include "cli/clireporter.h"

#include "platform/printable.h"

#include <QJsonDocument>

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
    endProgressLine();
    put(record);
}

void CliReporter::put(const QByteArray &record)
{
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
    const QString stageName = QString::fromLatin1(stage);
    const int shown = int(percent);
    const bool newStage = stageName != mProgressStage;
    // Whole percents for a script and for the bar; tens for a log that is read later.
    const int step = mJson || mTerminal ? 1 : 10;
    if (!newStage && shown / step == mProgressShown / step)
        return;
    mProgressStage = stageName;
    mProgressShown = shown;

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
    std::fprintf(mNotes, "\r%s %-9s [%s%s] %3d%%", qPrintable(printable(device)), stage, QByteArray(filled, '#').constData(),
                 QByteArray(kBarWidth - filled, '-').constData(), shown);
    std::fflush(mNotes);
    mBarOpen = true;
}

void CliReporter::endProgressLine()
{
    if (mBarOpen)
        std::fputc('\n', mNotes);
    mBarOpen = false;
    mProgressStage.clear();
    mProgressShown = -1;
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
    write(resultRecord(device, outcome, reason, extra));
}

void CliReporter::flashCheck(const QString &device, const QString &flash, const QString &reason)
{
    QJsonObject json{{"event", "verify"}, {"device", device}, {"flash", flash}};
    if (!reason.isEmpty())
        json.insert(QStringLiteral("reason"), reason);
    write(format(json, joined({device, flash}) + (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason)));
}

void CliReporter::note(const QString &text)
{
    endProgressLine();
    std::fprintf(mNotes, "%s\n", qPrintable(printable(text)));
    std::fflush(mNotes);
}

void CliReporter::error(int status, const QString &text)
{
    note(QStringLiteral("lumivex-cli: ") + text);
    if (mJson)
        put(format({{"event", "error"}, {"status", status}, {"message", text}}, {}));
}
