// The encrypted firmware catalogue: three ".resource" files, each an AES-encrypted keyed archive of
// one array (the images, their file names, their byte lengths).
#pragma once

#include "payload/keyedarchive.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace EncryptedCatalogue {

// The names lumivex-pack gives the three files; they sort as the loader expects them.
inline constexpr std::array<const char *, 3> kFileNames = {
    "catalogue-1-images.resource",
    "catalogue-2-names.resource",
    "catalogue-3-lengths.resource",
};

// The key string: the Base64 text of the catalogue's pass phrase.
QString keyString();

struct Contents
{
    QList<QByteArray> images;
    QStringList names;
    QList<quint64> lengths;
};

struct Failure
{
    QString file;
    QString reason;
};

// One file's bytes decrypted and unarchived. Never raises: a codec failure becomes the reason.
std::optional<QList<ArchiveValue>> openFile(const QByteArray &encrypted, QString *reason);
// One file decrypted and unarchived, read straight from its mapping where the system allows.
std::optional<QList<ArchiveValue>> openPath(const QString &path, QString *reason);
// One array archived and encrypted; empty when it cannot be archived.
QByteArray sealFile(const QList<ArchiveValue> &values);

// Reads the three files (images, names, lengths) and checks that they describe one catalogue:
// element types, one count, and every image as long as its declared length. Never raises.
std::optional<Contents> open(const QStringList &paths, Failure *failure);

// Writes the three files into folder under kFileNames, each replaced whole or not at all.
bool write(const QString &folder, const Contents &contents, QString *error);

} // namespace EncryptedCatalogue
