// The resources folder: information entries, firmware images, catalogue files and icons.
#pragma once

#include <QDir>
#include <QJsonObject>
#include <QString>
#include <QStringList>

class Resources
{
public:
    explicit Resources(QString folder);

    // LUMIVEX_RESOURCES_DIR when set, else the installed share folder, else the build tree's
    // resources/ folder beside the executable.
    static Resources locate();

    const QString &folder() const { return mFolder; }

    // A string entry of Info.json; a null QString when the entry or the file is missing.
    QString infoString(const QString &key) const;

    // What is wrong with the folder or its Info.json, one sentence each naming the path: the
    // launch logs them and goes on with empty values.
    const QStringList &problems() const { return mProblems; }

    // Files of the given type (extension, case-sensitive, without the dot) in subfolder (empty for
    // the top level), sorted by file name byte-wise so that every platform lists them alike.
    QStringList pathsForResources(const QString &type, const QString &subfolder = {}) const;

    // Names in subfolder that are not UTF-8 and so cannot be listed or opened as paths, shown
    // with their bytes escaped: the catalogue says why they are passed over.
    QStringList undecodableNames(const QString &subfolder) const;

private:
    QString mFolder;
    QJsonObject mInfo;
    QStringList mProblems;
};
