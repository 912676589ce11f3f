// The history of update runs: the file's place, its lines, appending them whole and reading them back.
#include "platform/runhistory.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cmath>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The text fields and their keys on the line; seconds is the one number.
constexpr struct
{
    const char *key;
    QString RunRecord::*field;
} kTextFields[] = {
    {"time", &RunRecord::time},       {"device", &RunRecord::device},   {"serial", &RunRecord::serial},
    {"product", &RunRecord::product}, {"from", &RunRecord::fromVersion}, {"to", &RunRecord::toVersion},
    {"image", &RunRecord::image},     {"sha256", &RunRecord::sha256},   {"result", &RunRecord::result},
    {"failed_step", &RunRecord::failedStep}, {"source", &RunRecord::source},
};

// A line that is a JSON object with a time and a result is a record; fields it lacks stay empty,
// so that lines of an older or newer updater still read.
std::optional<RunRecord> parse(const QByteArray &line)
{
    const QJsonObject object = QJsonDocument::fromJson(line).object();
    if (!object.value(QLatin1String("time")).isString() || !object.value(QLatin1String("result")).isString())
        return std::nullopt;
    RunRecord record;
    for (const auto &text : kTextFields)
        record.*text.field = object.value(QLatin1String(text.key)).toString();
    record.seconds = object.value(QLatin1String("seconds")).toDouble();
    return record;
}

// Each missing folder on the way is made private: the history tells which cameras were where.
QString makeFolders(const QString &folder)
{
    QString at;
    for (const QString &part : QDir::cleanPath(folder).split(u'/', Qt::SkipEmptyParts)) {
        at += u'/' + part;
        if (::mkdir(QFile::encodeName(at).constData(), 0700) != 0 && errno != EEXIST)
            return at + QStringLiteral(": ") + qt_error_string(errno);
    }
    return {};
}

} // namespace

QString RunHistory::path()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/lumivex/history.jsonl");
}

QString RunHistory::now()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

QByteArray RunHistory::line(const RunRecord &record)
{
    QJsonObject object;
    for (const auto &text : kTextFields)
        object.insert(QLatin1String(text.key), record.*text.field);
    object.insert(QLatin1String("seconds"), std::round(record.seconds * 1000.0) / 1000.0);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

int RunHistory::writePrepared(int fd, const char *bytes, std::size_t size) noexcept
{
    // A signal handler's errno is the interrupted code's: it is handed back as it was.
    const int interrupted = errno;
    ssize_t written = -1;
    do
        written = ::write(fd, bytes, size);
    while (written < 0 && errno == EINTR);
    // A second write could land after another process's line: a short one is left torn.
    const int error = written < 0 ? errno : std::size_t(written) == size ? 0 : ENOSPC;
    errno = interrupted;
    return error;
}

QString RunHistory::append(const QByteArray &line, const QString &path)
{
    const HistoryFile file(path);
    return file.isOpen() ? file.write(line) : file.error();
}

RunHistory::Contents RunHistory::read(const QString &path)
{
    Contents contents;
    QFile file(path);
    if (!file.exists())
        return contents;
    if (!file.open(QIODevice::ReadOnly)) {
        contents.warnings.append(path + QStringLiteral(": ") + file.errorString());
        return contents;
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    // The piece after the last newline is empty unless the last line is torn.
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const bool torn = i == lines.size() - 1;
        if (lines[i].trimmed().isEmpty())
            continue;
        if (const std::optional<RunRecord> record = parse(lines[i]); record && !torn)
            contents.records.append(*record);
        else
            contents.warnings.append(QStringLiteral("%1:%2: not a history record, skipped").arg(path).arg(i + 1));
    }
    return contents;
}

HistoryFile::HistoryFile(const QString &path)
{
    mError = makeFolders(QFileInfo(path).absolutePath());
    if (!mError.isEmpty())
        return;
    mFd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (mFd < 0)
        mError = qt_error_string(errno);
}

HistoryFile::~HistoryFile()
{
    if (mFd >= 0)
        ::close(mFd);
}

QString HistoryFile::write(const QByteArray &line) const
{
    if (mFd < 0)
        return mError;
    const int error = RunHistory::writePrepared(mFd, line.constData(), std::size_t(line.size()));
    return error ? qt_error_string(error) : QString();
}
