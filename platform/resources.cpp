// The resources folder: information entries, firmware images, catalogue files and icons.
#include "platform/resources.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonValue>

#include <algorithm>

Resources::Resources(QString folder)
    : mFolder(std::move(folder))
{
    QFile file(QDir(mFolder).filePath(QStringLiteral("Info.json")));
    if (file.open(QIODevice::ReadOnly))
        mInfo = QJsonDocument::fromJson(file.readAll()).object();
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
