// The resources folder: information entries, firmware images, catalogue files and icons.
#include "platform/resources.h"

#include "platform/printable.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonValue>

#include <QStringDecoder>

#include <algorithm>
#include <memory>

#include <dirent.h>

namespace {

// The entries the window and the About window show; each is a string.
constexpr const char *kInfoEntries[] = {"Device Name", "CFBundleShortVersionString", "NSHumanReadableCopyright",
                                        "Download URL"};
// An information file is a few hundred bytes; this leaves room without reading a huge file whole.
constexpr qint64 kMaxInfoFileSize = 1 << 20;

QString jsonTypeName(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("a Boolean");
    case QJsonValue::Double: return QStringLiteral("a number");
    case QJsonValue::Array: return QStringLiteral("an array");
    case QJsonValue::Object: return QStringLiteral("an object");
    default: return QStringLiteral("a string");
    }
}

} // namespace

Resources::Resources(QString folder)
    : mFolder(std::move(folder))
{
    const QFileInfo folderInfo(mFolder);
    if (!folderInfo.exists()) {
        mProblems << QStringLiteral("the resources folder %1 does not exist").arg(mFolder);
        return;
    }
    if (!folderInfo.isDir() || !folderInfo.isReadable() || !folderInfo.isExecutable()) {
        mProblems << QStringLiteral("the resources folder %1 cannot be read").arg(mFolder);
        return;
    }

    QFile file(QDir(mFolder).filePath(QStringLiteral("Info.json")));
    if (!file.exists()) {
        mProblems << QStringLiteral("%1 is missing").arg(file.fileName());
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        mProblems << QStringLiteral("%1 cannot be read: %2").arg(file.fileName(), file.errorString());
        return;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.read(kMaxInfoFileSize), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        mProblems << QStringLiteral("%1 is not a JSON object%2")
                         .arg(file.fileName(), error.error != QJsonParseError::NoError
                                                   ? QStringLiteral(": %1 at byte %2").arg(error.errorString()).arg(error.offset)
                                                   : QString());
        return;
    }
    mInfo = document.object();
    for (const char *key : kInfoEntries) {
        const QJsonValue value = mInfo.value(QLatin1String(key));
        if (value.isUndefined())
            mProblems << QStringLiteral("%1 has no \"%2\" entry").arg(file.fileName(), QLatin1String(key));
        else if (!value.isString())
            mProblems << QStringLiteral("%1: \"%2\" is %3, not a string").arg(file.fileName(), QLatin1String(key), jsonTypeName(value));
    }
}

Resources Resources::locate()
{
    const QString fromEnvironment = qEnvironmentVariable("LUMIVEX_RESOURCES_DIR");
    if (!fromEnvironment.isEmpty())
        return Resources(fromEnvironment);

    const QDir exeDir(QCoreApplication::applicationDirPath());
    const QString installed = exeDir.filePath(QStringLiteral("../share/lumivex-updater"));
    if (QFileInfo(installed).isDir())
        return Resources(QDir::cleanPath(installed));
    return Resources(exeDir.filePath(QStringLiteral("resources")));
}

QString Resources::infoString(const QString &key) const
{
    const QJsonValue value = mInfo.value(key);
    return value.isString() ? value.toString() : QString();
}

QStringList Resources::pathsForResources(const QString &type, const QString &subfolder) const
{
    const QDir dir(subfolder.isEmpty() ? mFolder : QDir(mFolder).filePath(subfolder));
    const QString suffix = QLatin1Char('.') + type;

    QStringList names;
    for (const QString &name : dir.entryList(QDir::Files | QDir::Readable | QDir::Hidden)) {
        if (name.size() > suffix.size() && name.endsWith(suffix, Qt::CaseSensitive))
            names.append(name);
    }
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.toUtf8() < b.toUtf8();
    });

    QStringList paths;
    paths.reserve(names.size());
    for (const QString &name : names)
        paths.append(dir.filePath(name));
    return paths;
}

QStringList Resources::undecodableNames(const QString &subfolder) const
{
    // Qt's own listing leaves such names out without a word, so the folder is read directly.
    QStringList names;
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(opendir(QFile::encodeName(QDir(mFolder).filePath(subfolder)).constData()),
                                                   closedir);
    if (!dir)
        return names;
    while (const dirent *entry = readdir(dir.get())) {
        const QByteArrayView name(entry->d_name);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = decoder(name);
        if (decoder.hasError())
            names.append(printableBytes(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}
